// The main window's two edit boxes as the controller uses them: the directory box
// (shows the chosen directory; what is typed there is never read) and the status log
// (read-only, no length limit, text appended at the end while the view stays at the top).
#pragma once

#include <string>
#include <string_view>

namespace LOOM {
class SWindow;
}

namespace krdn::app {

class DirectoryBox {
 public:
  DirectoryBox() = default;
  explicit DirectoryBox(LOOM::SWindow* edit) : edit_(edit) {}
  void SetText(std::u16string_view text);
  std::u16string Text() const;
  LOOM::SWindow* Element() const { return edit_; }

 private:
  LOOM::SWindow* edit_ = nullptr;
};

class StatusLog {
 public:
  StatusLog() = default;
  explicit StatusLog(LOOM::SWindow* edit) : edit_(edit) {}
  // Read-only, with the largest text limit.
  void MakeReadOnlyLog();
  // An empty selection at the end (32-bit positions, no scrolling), the text put
  // there without undo, then the view scrolled to the top without a redraw.
  void Append(std::u16string_view text);
  void Clear();
  std::u16string Text() const;
  LOOM::SWindow* Element() const { return edit_; }

 private:
  LOOM::SWindow* edit_ = nullptr;
};

}  // namespace krdn::app
