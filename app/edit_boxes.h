// The main window's two edit boxes as the controller uses them: the directory box
// (shows the chosen directory; what is typed there is never read) and the status log
// (read-only, no length limit, text appended at the end while the view stays at the top).
#pragma once

#include <string>
#include <string_view>

namespace LOOM {
class SWindow;
class SRichEdit;
}

namespace krdn::app {

class DirectoryBox {
 public:
  DirectoryBox() = default;
  // An element that is not an edit box leaves the box without an element.
  explicit DirectoryBox(LOOM::SWindow* edit);
  void SetText(std::u16string_view text);
  std::u16string Text() const;
  LOOM::SRichEdit* Element() const { return edit_; }

 private:
  LOOM::SRichEdit* edit_ = nullptr;
};

class StatusLog {
 public:
  StatusLog() = default;
  explicit StatusLog(LOOM::SWindow* edit);
  // Read-only, with the largest text limit.
  void MakeReadOnlyLog();
  // An empty selection at the end (32-bit positions, no scrolling), the text put
  // there without undo, then the view scrolled to the top without a redraw.
  void Append(std::u16string_view text);
  void Clear();
  std::u16string Text() const;
  LOOM::SRichEdit* Element() const { return edit_; }

 private:
  LOOM::SRichEdit* edit_ = nullptr;
};

}  // namespace krdn::app
