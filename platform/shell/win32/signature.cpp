// Trust of a program file on Windows: its Authenticode signature, checked by the
// platform's trust verification (WinVerifyTrust with the generic verify action, no
// window of its own). The detached-signature key of the Linux build is not used.
#include "platform/shell/signature.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

namespace platform {

bool IsProgramFileTrusted(std::u16string_view path, const SignaturePublicKey&) {
  std::wstring file(reinterpret_cast<const wchar_t*>(path.data()), path.size());
  WINTRUST_FILE_INFO file_info{};
  file_info.cbStruct = sizeof(file_info);
  file_info.pcwszFilePath = file.c_str();

  WINTRUST_DATA data{};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file_info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  // The verification keeps state until it is closed, whatever its answer was.
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return status == ERROR_SUCCESS;
}

}  // namespace platform
