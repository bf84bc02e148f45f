#include "platform/toolkit/font_faces.h"

#include <fontconfig/fontconfig.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/base/utf.h"

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

// The family names substitution puts around the given one (aliases are put before it,
// fallbacks after it), without the given one.
std::vector<std::string> SubstitutedFamilies(FcConfig* config, const std::string& family) {
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  std::vector<std::string> families;
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(pattern.get(), FC_FAMILY, i, &value) == FcResultMatch; ++i)
    if (family != reinterpret_cast<const char*>(value)) families.emplace_back(reinterpret_cast<const char*>(value));
  return families;
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
  // An alias: the families substitution adds for this face and not for an unknown
  // one (the generic fallbacks every name gets) are what the face resolves to.
  std::vector<std::string> own = SubstitutedFamilies(config, family);
  std::vector<std::string> fallback = SubstitutedFamilies(config, "\x01krdn-unknown-face");
  std::size_t common = 0;
  while (common < own.size() && common < fallback.size() &&
         own[own.size() - 1 - common] == fallback[fallback.size() - 1 - common])
    ++common;
  for (std::size_t i = 0; i + common < own.size(); ++i)
    if (FamilyListed(config, own[i])) return true;
  return false;
}

}  // namespace platform
