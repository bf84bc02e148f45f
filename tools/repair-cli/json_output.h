// The console front-end's machine-readable mode (console_output.h): one JSON object a
// line on standard output.
//
//   {"type":"status","text":"开始下载文件...\r\n"}
//   {"type":"transient","text":"校验文件：\\data\\a.pak"}
//   {"type":"progress","done":1048576,"total":8388608,"rate":524288,"seconds_left":14}
//   {"type":"dialog","text":"与服务器连接不稳定，...","attempt":1,"failure":"下载文件失败。"}
//   {"type":"end","exit_code":0,"error":null}
//
// Lines go out in blocks (block_writer.h), and at once after a dialog and the end.
// Progress comes at most four times a second and always with the last count; its rate
// (bytes a second) and time left (whole seconds) are null until bytes have begun to
// arrive.
#pragma once

#include <optional>
#include <string>

#include "tools/repair-cli/block_writer.h"
#include "tools/repair-cli/console_output.h"
#include "tools/repair-cli/time_left.h"

namespace krdn::cli {

class JsonOutput final : public ConsoleOutput {
 public:
  static constexpr std::chrono::milliseconds kProgressInterval{250};

  void Status(std::string_view text) override;
  void Transient(std::string_view text, Clock::time_point now) override;
  void Bytes(std::uint64_t received, std::uint64_t total, Clock::time_point now) override;
  void Dialog(std::string_view dialog_text, unsigned long attempt, std::string_view failure) override;
  void End(int exit_code, std::string_view error, std::string_view log_path) override;

 private:
  void Line(const std::string& object) { out_.Write(object + "\n"); }

  std::optional<Clock::time_point> last_progress_;
  TimeLeft time_left_;
  BlockWriter out_{stdout};  // written out in blocks, and at once after a dialog and the end
};

}  // namespace krdn::cli
