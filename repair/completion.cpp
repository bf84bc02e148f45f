#include "repair/completion.h"

#include "platform/io/desktop.h"
#include "platform/base/utf.h"
#include "repair/run.h"
#include "repair/status_texts.h"

namespace krdn {

std::u16string ShortcutPath() {
  const std::u16string desktop = platform::DesktopDirectory();
  if (desktop.empty()) return {};
  return desktop + u"/" + platform::ShortcutFileName(kShortcutName);
}

void Complete(Run& run) {
  run.Append(text::kAllDownloaded);
  std::vector<std::uint8_t> body;
  // Only the agent string matters to the server; whatever comes back is ignored.
  (void)run.Fetch(body, platform::Utf8ToUtf16(run.settings().repair_host) + kCompletionMarkerPath, 0, ByteRange{},
                  FetchKind::kNone, u"_DONE");
  run.ClearBusy();
  run.Ended(std::nullopt);
  // A shortcut that cannot be written is not reported; the success dialog follows all the same.
  if (const std::u16string shortcut = ShortcutPath(); !shortcut.empty()) {
    platform::CreateShortcut(run.install_directory() + u"\\" + kLauncherName, shortcut, kShortcutName);
  }
  run.Succeeded(text::kAllDownloaded);
}

}  // namespace krdn
