// Colour, dimension and font-description parsing, and named value tables.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/font_pool.h"
#include "core/values.h"
#include "core/xml.h"
#include "platform/base/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text = platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  COLORREF colour = 0;
  LOOM::ParseColor(text, colour);
  LOOM::SLayoutSize dim;
  LOOM::ParseDimension(text, dim);
  LOOM::DimensionToPixels(dim, 150);
  LOOM::SFontDesc def;
  LOOM::SFontKey key = LOOM::ParseFontDescription(text, 125, def);
  LOOM::LogFontForKey(key);
  LOOM::SXmlDoc doc;
  if (doc.LoadBuffer(data, size)) {
    LOOM::SNamedColor colours;
    colours.Load(doc.Child());
    LOOM::SNamedDimension dims;
    dims.Load(doc.Child());
    colours.Find(u"a");
  }
  return 0;
}
