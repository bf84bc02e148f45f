// A text host for engine tests: the box's properties are fields the test sets, and
// every request the engine makes of the window is recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ui/sys_colors.h"
#include "platform/text/linux/text_engine.h"
#include "platform/text/text_services.h"
#include "platform/ui/windowing.h"

namespace text_test {

using namespace platform;
using platform::text::TextEngine;

struct Notification {
  DWORD code = 0;
  CHARRANGE range{};
};

class FakeTextHost final : public ITextHost {
 public:
  FakeTextHost() {
    char_format.cbSize = sizeof(CHARFORMAT2W);
    char_format.dwMask = 0xF8000007;
    char_format.yHeight = 12 * 1440 / 96;  // 12 pixels
    char_format.crTextColor = RGB(0, 0, 0);
    const std::u16string face = u"微软雅黑";
    std::copy(face.begin(), face.end(), char_format.szFaceName);
    para_format.cbSize = sizeof(PARAFORMAT2);
    para_format.dwMask = 0x8001003F;
    para_format.wAlignment = PFA_LEFT;
    para_format.cTabCount = 1;
    para_format.rgxTabs[0] = 720;
  }

  // ---- what the box is --------------------------------------------------------------
  RECT client{10, 20, 210, 120};  // 200 x 100
  RECT inset_himetric{};
  CHARFORMAT2W char_format{};
  PARAFORMAT2 para_format{};
  DWORD max_length = 0x7FFF;
  DWORD properties = TXTBIT_RICHTEXT | TXTBIT_HIDESELECTION | TXTBIT_SAVESELECTION | TXTBIT_AUTOWORDSEL;
  DWORD scroll_bars = ES_AUTOHSCROLL;
  WCHAR password_char = u'*';

  // ---- what the engine asked for ----------------------------------------------------
  std::vector<RECT> invalidated;
  int invalidate_all_count = 0;
  std::vector<Notification> notifications;
  int caret_creates = 0;
  SIZE caret_size{};
  bool caret_shown = false;
  POINT caret_pos{-1, -1};
  int caret_moves = 0;
  bool captured = false;
  int focus_requests = 0;
  std::vector<UINT> timers;
  HCURSOR cursor = nullptr;
  struct Range {
    int bar = 0;
    LONG min = 0;
    int max = 0;
  };
  std::vector<Range> ranges;
  std::vector<std::pair<int, int>> positions;  // bar, pos
  std::vector<std::pair<int, BOOL>> shown_bars;

  void ClearRecords() {
    invalidated.clear();
    invalidate_all_count = 0;
    notifications.clear();
    ranges.clear();
    positions.clear();
    caret_moves = 0;
  }
  bool Notified(DWORD code) const {
    for (const auto& n : notifications) {
      if (n.code == code) return true;
    }
    return false;
  }
  RECT InvalidatedBounds() const {
    RECT all{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};
    for (const RECT& rc : invalidated) {
      all.left = std::min(all.left, rc.left);
      all.top = std::min(all.top, rc.top);
      all.right = std::max(all.right, rc.right);
      all.bottom = std::max(all.bottom, rc.bottom);
    }
    return invalidated.empty() ? RECT{} : all;
  }

  // ---- IUnknown: the host lives on the test's stack -----------------------------------
  HRESULT QueryInterface(const GUID&, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  // ---- ITextHost ----------------------------------------------------------------------
  void* TxGetDC() override { return nullptr; }
  INT_PTR TxReleaseDC(void*) override { return 1; }
  BOOL TxShowScrollBar(int bar, BOOL show) override {
    shown_bars.emplace_back(bar, show);
    return TRUE;
  }
  BOOL TxEnableScrollBar(int, int) override { return TRUE; }
  BOOL TxSetScrollRange(int bar, LONG min, int max, BOOL) override {
    ranges.push_back({bar, min, max});
    return TRUE;
  }
  BOOL TxSetScrollPos(int bar, int pos, BOOL) override {
    positions.emplace_back(bar, pos);
    return TRUE;
  }
  void TxInvalidateRect(const RECT* rc, BOOL) override {
    if (rc) {
      invalidated.push_back(*rc);
    } else {
      invalidated.push_back(client);
      ++invalidate_all_count;
    }
  }
  void TxViewChange(BOOL) override {}
  BOOL TxCreateCaret(void*, int width, int height) override {
    ++caret_creates;
    caret_size = {width, height};
    return TRUE;
  }
  BOOL TxShowCaret(BOOL show) override {
    caret_shown = show != FALSE;
    return TRUE;
  }
  BOOL TxSetCaretPos(int x, int y) override {
    caret_pos = {x, y};
    ++caret_moves;
    return TRUE;
  }
  BOOL TxSetTimer(UINT id, UINT) override {
    timers.push_back(id);
    return TRUE;
  }
  void TxKillTimer(UINT id) override { std::erase(timers, id); }
  void TxScrollWindowEx(int, int, const RECT*, const RECT*, void*, RECT*, UINT) override {}
  void TxSetCapture(BOOL capture) override { captured = capture != FALSE; }
  void TxSetFocus() override { ++focus_requests; }
  void TxSetCursor(HCURSOR c, BOOL) override { cursor = c; }
  BOOL TxScreenToClient(POINT*) override { return TRUE; }
  BOOL TxClientToScreen(POINT*) override { return TRUE; }
  HRESULT TxActivate(LONG* old) override {
    if (old) *old = 0;
    return S_OK;
  }
  HRESULT TxDeactivate(LONG) override { return S_OK; }
  HRESULT TxGetClientRect(RECT* rc) override {
    *rc = client;
    return S_OK;
  }
  HRESULT TxGetViewInset(RECT* rc) override {
    *rc = inset_himetric;
    return S_OK;
  }
  HRESULT TxGetCharFormat(const CHARFORMATW** cf) override {
    *cf = reinterpret_cast<const CHARFORMATW*>(&char_format);
    return S_OK;
  }
  HRESULT TxGetParaFormat(const PARAFORMAT** pf) override {
    *pf = reinterpret_cast<const PARAFORMAT*>(&para_format);
    return S_OK;
  }
  COLORREF TxGetSysColor(int index) override { return GetSysColor(index); }
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override {
    *style = TXTBACK_TRANSPARENT;
    return S_OK;
  }
  HRESULT TxGetMaxLength(DWORD* length) override {
    *length = max_length;
    return S_OK;
  }
  HRESULT TxGetScrollBars(DWORD* bars) override {
    *bars = scroll_bars;
    return S_OK;
  }
  HRESULT TxGetPasswordChar(WCHAR* ch) override {
    *ch = password_char;
    return S_OK;
  }
  HRESULT TxGetAcceleratorPos(LONG* pos) override {
    *pos = -1;
    return S_OK;
  }
  HRESULT TxGetExtent(SIZE*) override { return E_NOTIMPL; }
  HRESULT OnTxCharFormatChange(const CHARFORMATW*) override { return S_OK; }
  HRESULT OnTxParaFormatChange(const PARAFORMAT*) override { return S_OK; }
  HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override {
    *bits = properties & mask;
    return S_OK;
  }
  HRESULT TxNotify(DWORD code, void* data) override {
    Notification n{code, {}};
    if (code == EN_SELCHANGE && data) n.range = static_cast<SELCHANGE*>(data)->chrg;
    notifications.push_back(n);
    return S_OK;
  }
  void* TxImmGetContext() override { return nullptr; }
  void TxImmReleaseContext(void*) override {}
  HRESULT TxGetSelectionBarWidth(LONG* width) override {
    *width = 0;
    return S_OK;
  }
};

// An engine over a fake host, with the keys a test holds down.
class EngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The clipboard belongs to the windowing thread: the test's thread becomes it.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_TRUE(platform::InitWindowing());
  }

  void MakeEngine() {
    engine_.reset();
    TextEngine::Options options;
    options.key_down = [this](int vk) { return vk == VK_SHIFT ? shift_ : vk == VK_CONTROL ? ctrl_ : false; };
    engine_.reset(new TextEngine(&host_, options));
    engine_->OnTxInPlaceActivate(nullptr);
  }
  void SetUp() override { MakeEngine(); }

  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    LRESULT result = 0;
    last_hr_ = engine_->TxSendMessage(msg, wp, lp, &result);
    return result;
  }
  void SetText(std::u16string_view text) {
    std::u16string copy(text);
    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
  }
  std::u16string Text() {
    auto length = static_cast<std::size_t>(Send(WM_GETTEXTLENGTH));
    std::u16string buffer(length + 1, u'\0');
    auto copied = static_cast<std::size_t>(Send(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    buffer.resize(copied);
    return buffer;
  }
  std::pair<LONG, LONG> Selection() {
    CHARRANGE range{};
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return {range.cpMin, range.cpMax};
  }
  void Select(LONG start, LONG end) { Send(EM_SETSEL, static_cast<WPARAM>(start), end); }
  void Replace(std::u16string_view text, bool undo = true) {
    std::u16string copy(text);
    Send(EM_REPLACESEL, undo ? 1 : 0, reinterpret_cast<LPARAM>(copy.c_str()));
  }
  void Type(std::u16string_view text) {
    for (char16_t c : text) Send(WM_CHAR, c);
  }
  void Key(int vk, bool shift = false, bool ctrl = false) {
    shift_ = shift;
    ctrl_ = ctrl;
    Send(WM_KEYDOWN, static_cast<WPARAM>(vk));
    shift_ = ctrl_ = false;
  }
  void Focus() { Send(WM_SETFOCUS); }
  void MakeMultiline() {
    host_.properties |= TXTBIT_MULTILINE;
    engine_->OnTxPropertyBitsChange(TXTBIT_MULTILINE, TXTBIT_MULTILINE);
  }
  void SetProperty(DWORD bit, bool on) {
    host_.properties = on ? (host_.properties | bit) : (host_.properties & ~bit);
    engine_->OnTxPropertyBitsChange(bit, on ? bit : 0);
  }
  // Client coordinates of a position, through EM_POSFROMCHAR.
  POINT PointOf(LONG pos) {
    POINT pt{};
    Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&pt), pos);
    return pt;
  }
  static LPARAM At(POINT pt) { return MAKELONG(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)); }

  FakeTextHost host_;
  std::unique_ptr<TextEngine, void (*)(TextEngine*)> engine_{nullptr, [](TextEngine* e) { e->Release(); }};
  HRESULT last_hr_ = S_OK;
  bool shift_ = false;
  bool ctrl_ = false;
};

}  // namespace text_test
