// An edit box driven by an arbitrary sequence of what can reach it: typed characters
// and keys, mouse gestures, selections with any 32-bit positions, replacements, whole
// texts and streams (plain and rich) made of the input's bytes, scrolling, clipboard
// and undo messages, property switches and limits, focus changes and repaints. After
// every step the text the box reports must agree with itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/application.h"
#include "core/edit.h"
#include "core/render.h"
#include "platform/text/text_defs.h"
#include "platform/ui/windowing.h"
#include "tests/loom_tree/test_container.h"

namespace {

class QuietSink final : public LOOM::TObjRefImpl<LOOM::ILogSink> {
 public:
  void Write(std::u16string_view, std::u16string_view, const char*, int, const char*) override {}
};

struct Toolkit {
  Toolkit()
      : factory(LOOM::SAutoRefPtr<LOOM::IRenderFactory>::Adopt(LOOM::NewRenderFactory())),
        app(factory.get(), platform::CurrentModule(), u"LOOMHOST", reg) {
    app.SetLogSink(LOOM::SAutoRefPtr<LOOM::ILogSink>::Adopt(new QuietSink()).get());
    windowing = platform::InitWindowing();  // the clipboard
  }
  LOOM::SObjectDefaultRegister reg;
  LOOM::SAutoRefPtr<LOOM::IRenderFactory> factory;
  LOOM::SApplication app;
  bool windowing = false;
};

// Reads the input front to back; past the end everything is zero.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool More() const { return at_ < size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  std::int32_t Long() { return static_cast<std::int32_t>(Word() | (static_cast<std::uint32_t>(Word()) << 16)); }
  // A short text of any UTF-16 units, NULs and lone surrogates included.
  std::u16string Text() {
    std::u16string out(Byte() % 48, u'\0');
    for (char16_t& c : out) c = static_cast<char16_t>(Word());
    return out;
  }
  std::string Bytes() {
    std::string out(Byte() % 96, '\0');
    for (char& c : out) c = static_cast<char>(Byte());
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

struct MemoryStream {
  std::string bytes;
  std::size_t at = 0;
};

DWORD ReadStream(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
  auto* m = reinterpret_cast<MemoryStream*>(cookie);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<LONG>(cb, 0)), m->bytes.size() - m->at);
  std::copy_n(m->bytes.data() + m->at, n, buffer);
  m->at += n;
  *pcb = static_cast<LONG>(n);
  return 0;
}

constexpr int kKeys[] = {VK_LEFT, VK_RIGHT, VK_UP,    VK_DOWN, VK_HOME, VK_END, VK_PRIOR, VK_NEXT,
                         VK_BACK, VK_DELETE, VK_RETURN, VK_TAB, 'A',     'C',    'V',      'X', 'Z', 'Y'};
constexpr const char16_t* kSwitches[] = {u"multiLines", u"readOnly", u"wordWrap", u"password", u"number",
                                         u"wantReturn", u"autoSel",  u"vcenter",  u"align",    u"hscrollBar",
                                         u"vscrollBar", u"autoVscroll", u"notifyChange"};

LPARAM At(int x, int y) { return MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)); }

void Step(Reader& in, LOOM::test::TestContainer& host, LOOM::SEdit* box) {
  auto send = [&](UINT msg, WPARAM wp, LPARAM lp) { return box->SendElementMessage(msg, wp, lp); };
  switch (in.Byte() % 16) {
    case 0:
      host.RouteHostMessage(WM_CHAR, in.Word(), 0);
      break;
    case 1:
      host.RouteHostMessage(WM_KEYDOWN, static_cast<WPARAM>(kKeys[in.Byte() % std::size(kKeys)]), 0);
      break;
    case 2: {
      const std::int32_t start = in.Long();
      const std::int32_t end = in.Long();
      send(EM_SETSEL, static_cast<WPARAM>(start), end);
      break;
    }
    case 3: {
      const bool undo = in.Byte() & 1;
      box->ReplaceSelection(in.Text(), undo);
      break;
    }
    case 4:
      box->SetWindowText(in.Text());
      break;
    case 5: {
      static constexpr UINT kMouse[] = {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_MOUSEWHEEL};
      const UINT msg = kMouse[in.Byte() % std::size(kMouse)];
      const int x = in.Byte() * 2 - 50;
      const int y = in.Byte() - 40;
      if (msg == WM_MOUSEWHEEL) {
        host.RouteHostMessage(msg, static_cast<WPARAM>(in.Word()) << 16, At(x, y));
      } else {
        host.Mouse(msg, x, y, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON);
      }
      break;
    }
    case 6: {
      const bool vertical = in.Byte() & 1;
      const WORD code = in.Byte() % 9;
      const WORD pos = in.Word();
      send(vertical ? WM_VSCROLL : WM_HSCROLL, platform::MakeScrollWParam(code, pos), 0);
      break;
    }
    case 7:
      box->ScrollTo(in.Byte() & 1, in.Long(), in.Byte() & 1);
      break;
    case 8: {
      static constexpr UINT kEdits[] = {EM_UNDO, EM_REDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, EM_SCROLLCARET,
                                        EM_EMPTYUNDOBUFFER, EM_CANPASTE, EM_CANUNDO};
      send(kEdits[in.Byte() % std::size(kEdits)], 0, 0);
      break;
    }
    case 9: {
      const char16_t* name = kSwitches[in.Byte() % std::size(kSwitches)];
      const std::uint8_t v = in.Byte();
      box->ApplyAttribute(name, v % 3 == 0 ? u"0" : v % 3 == 1 ? u"1" : u"right", false);
      break;
    }
    case 10:
      send(EM_EXLIMITTEXT, 0, in.Long());
      break;
    case 11:
      host.Repaint();
      break;
    case 12: {
      MemoryStream stream{in.Bytes()};
      const bool rtf = in.Byte() & 1;
      EDITSTREAM es{reinterpret_cast<ULONG_PTR>(&stream), 0, ReadStream};
      send(EM_STREAMIN, (rtf ? SF_RTF : SF_TEXT) | (in.Byte() & 1 ? SFF_SELECTION : 0),
           reinterpret_cast<LPARAM>(&es));
      break;
    }
    case 13: {
      // Reads with buffers of any size and ranges of any positions.
      std::u16string buffer(in.Byte(), u'\0');
      send(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
      TEXTRANGEW range{{in.Long(), in.Long()}, nullptr};
      std::u16string target(static_cast<std::size_t>(box->TextLength()) + 1, u'\0');
      range.lpstrText = target.data();
      send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
      send(EM_LINEINDEX, static_cast<WPARAM>(in.Long()), 0);
      send(EM_LINELENGTH, static_cast<WPARAM>(in.Long()), 0);
      send(EM_LINEFROMCHAR, static_cast<WPARAM>(in.Long()), 0);
      POINT at{};
      send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), in.Long());
      at = {in.Byte() - 20, in.Byte() - 20};
      send(EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at));
      break;
    }
    case 14:
      host.FocusElement(in.Byte() & 1 ? box->Handle() : 0);
      break;
    default:
      host.RouteHostMessage(WM_CHAR, u'a' + in.Byte() % 26, 0);
      break;
  }
}

// The box's own account of its text must agree: the length it reports is the text it
// hands out, and that text has every break as "\r\n".
void Check(LOOM::SEdit* box) {
  const std::u16string text = box->GetWindowText();
  if (static_cast<LONG>(text.size()) != box->TextLength()) std::abort();
  DWORD start = 0, end = 0;
  box->SendElementMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  if (start > end || end > text.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Toolkit toolkit;
  Reader in(data, size);
  auto host = LOOM::SAutoRefPtr<LOOM::test::TestContainer>::Adopt(new LOOM::test::TestContainer());
  LOOM::SXmlDoc doc;
  doc.LoadText(in.Byte() & 1 ? u"<root><edit name=\"e\" pos=\"10,10\" size=\"200,60\" multiLines=\"1\"/></root>"
                             : u"<root><edit name=\"e\" pos=\"10,10\" size=\"200,37\"/></root>");
  host->LoadFromMarkup(doc.Child());
  host->Resize(toolkit.factory.get(), 240, 100);
  host->LayoutIfDirty();
  auto* box = dynamic_cast<LOOM::SEdit*>(host->ChildWithName(u"e"));
  if (!box) std::abort();
  for (int steps = 0; in.More() && steps < 256; ++steps) {
    Step(in, *host, box);
    Check(box);
  }
  host->SendElementMessage(WM_DESTROY);
  return 0;
}
