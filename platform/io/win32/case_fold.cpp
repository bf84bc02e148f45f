#include "platform/io/case_fold.h"

#include <windows.h>

// The system's upper-case table, the one the file systems and CompareStringOrdinal with
// bIgnoreCase compare names by (ntdll; the SDK declares it in the driver kit only).
extern "C" __declspec(dllimport) WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR source);

namespace platform {

std::u16string FoldCase(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& unit : folded) unit = static_cast<char16_t>(RtlUpcaseUnicodeChar(static_cast<WCHAR>(unit)));
  return folded;
}

}  // namespace platform
