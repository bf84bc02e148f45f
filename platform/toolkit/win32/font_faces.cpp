// Installed font faces, as the platform's font enumeration lists them, and the faces
// its font substitutes table maps a name to.
#include "platform/toolkit/font_faces.h"

#include <string>

#include "platform/base/wide_text.h"
#include "platform/base/win_types.h"

namespace platform {
namespace {

bool FaceEnumerated(const std::wstring& face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, face.size());
  bool found = false;
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(
      screen, &wanted,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found_flag) -> int {
        *reinterpret_cast<bool*>(found_flag) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  return found;
}

// "Face" or "Face,charset" in the substitutes table; the face it stands for.
std::wstring SubstituteOf(const std::wstring& face) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t value[LF_FACESIZE * 2]{};
  DWORD size = sizeof(value) - sizeof(wchar_t);
  DWORD type = 0;
  const LONG read = ::RegQueryValueExW(key, face.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  ::RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return {};
  std::wstring substitute(value);
  if (auto comma = substitute.find(L','); comma != std::wstring::npos) substitute.resize(comma);
  return substitute;
}

}  // namespace

bool FontFaceInstalled(std::u16string_view face) {
  const std::wstring wide(AsWideText(std::u16string(face).c_str()), face.size());
  if (FaceEnumerated(wide)) return true;
  const std::wstring substitute = SubstituteOf(wide);
  return !substitute.empty() && substitute != wide && FaceEnumerated(substitute);
}

}  // namespace platform
