// The main window's two edit boxes as the controller uses them: the directory box
// (shows the chosen directory; what is typed there is never read) and the status log
// (read-only, no length limit, text appended at the end; the view follows the newest line
// unless the user has scrolled up to read).
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
  // An empty selection at the end (32-bit positions, no scrolling) and the text put
  // there without undo. The view then shows the last line, unless the user scrolled
  // up since the last append: it stays where they are reading until they scroll back
  // down to the end, and follows again from there.
  void Append(std::u16string_view text);
  // Lines that come faster than the box can lay them out one by one wait here and go in
  // with one Append: true when this text is the first to wait (the caller then arranges
  // for AppendWaiting soon).
  bool AppendLater(std::u16string_view text);
  void AppendWaiting();
  // Also drops what waits: the same as appending it first.
  void Clear();
  // The view's vertical offset in pixels (the engine's scroll position).
  int ViewOffset() const;
  // The log's text: the box's, then what waits to go in.
  std::u16string Text() const;
  LOOM::SRichEdit* Element() const { return edit_; }

 private:
  LOOM::SRichEdit* edit_ = nullptr;
  // Where the last append left the view: a view above it was scrolled up by the user.
  int followed_offset_ = 0;
  std::u16string waiting_;
};

}  // namespace krdn::app
