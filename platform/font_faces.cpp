#include "platform/font_faces.h"

#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>

#include "platform/utf.h"

namespace platform {
namespace {

// The alias file, compiled in (generated from res/fonts/loom-fonts.conf).
#include "font_aliases.inc"

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
struct ObjectSetDeleter {
  void operator()(FcObjectSet* s) const { FcObjectSetDestroy(s); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

bool FamilyListed(FcConfig* config, const std::string& family) {
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  std::unique_ptr<FcObjectSet, ObjectSetDeleter> objects(FcObjectSetBuild(FC_FAMILY, nullptr));
  std::unique_ptr<FcFontSet, FontSetDeleter> fonts(FcFontList(config, pattern.get(), objects.get()));
  return fonts && fonts->nfont > 0;
}

bool IsGeneric(const std::string& family) {
  return family == "sans-serif" || family == "serif" || family == "monospace" || family == "sans" ||
         family == "system-ui" || family == "cursive" || family == "fantasy";
}

}  // namespace

FcConfig* ToolkitFontConfig() {
  static FcConfig* const config = [] {
    FcConfig* c = FcInitLoadConfigAndFonts();
    if (c) FcConfigParseAndLoadFromMemory(c, reinterpret_cast<const FcChar8*>(kFontAliases), FcFalse);
    return c;
  }();
  return config;
}

bool FontFaceInstalled(std::u16string_view face) {
  FcConfig* config = ToolkitFontConfig();
  if (!config || face.empty()) return false;
  std::string family = Utf16ToUtf8(face);
  if (FamilyListed(config, family)) return true;
  // An alias: the families substitution puts after the face, up to the first generic
  // name, are what the face resolves to.
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcChar8* value = nullptr;
  for (int i = 1; FcPatternGetString(pattern.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    std::string candidate(reinterpret_cast<const char*>(value));
    if (IsGeneric(candidate)) break;
    if (FamilyListed(config, candidate)) return true;
  }
  return false;
}

}  // namespace platform
