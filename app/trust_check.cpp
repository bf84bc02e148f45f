#include "app/trust_check.h"

#include "platform/ui/message_box.h"
#include "signing_key.h"

namespace krdn::app {

const platform::SignaturePublicKey& ProgramSigningKey() { return kProgramSigningKey; }

bool TrustOwnExecutable(const std::u16string& executable_path) {
  if (platform::IsProgramFileTrusted(executable_path, kProgramSigningKey)) return true;
  return platform::MessageBoxW(nullptr, u"无法验证下载程序，仍然要运行么？", u"Velmora3", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace krdn::app
