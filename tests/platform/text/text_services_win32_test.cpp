// The Windows text engine: riched20.dll's windowless text services behind the toolkit's
// host contract. A host on the test's stack answers the engine's questions and records
// what the engine asks of the window; text, selection, limits, notifications, the caret
// and drawing are read back through the contract.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/text_services.h"

namespace {

// The toolkit's contract, not the platform's interfaces of the same names.
using platform::CreateTextServices;
using platform::GUID;
using platform::IID_ITextServices;
using platform::ITextServices;
using platform::IUnknown;

class RecordingHost final : public platform::ITextHost {
 public:
  RecordingHost() {
    char_format.cbSize = sizeof(CHARFORMAT2W);
    char_format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_CHARSET;
    char_format.yHeight = 16 * 1440 / 96;
    char_format.crTextColor = RGB(255, 0, 0);
    char_format.bCharSet = DEFAULT_CHARSET;
    wcscpy(char_format.szFaceName, L"Tahoma");
    para_format.cbSize = sizeof(PARAFORMAT2);
    para_format.dwMask = PFM_ALIGNMENT;
    para_format.wAlignment = PFA_LEFT;
  }

  RECT client{0, 0, 200, 40};
  CHARFORMAT2W char_format{};
  PARAFORMAT2 para_format{};
  DWORD max_length = 0x7FFF;
  DWORD properties = 0;
  std::vector<DWORD> notifications;
  int caret_creates = 0;
  bool caret_shown = false;
  int invalidations = 0;

  HRESULT QueryInterface(const GUID&, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  void* TxGetDC() override { return nullptr; }
  INT_PTR TxReleaseDC(void*) override { return 0; }
  BOOL TxShowScrollBar(int, BOOL) override { return TRUE; }
  BOOL TxEnableScrollBar(int, int) override { return TRUE; }
  BOOL TxSetScrollRange(int, LONG, int, BOOL) override { return TRUE; }
  BOOL TxSetScrollPos(int, int, BOOL) override { return TRUE; }
  void TxInvalidateRect(const RECT*, BOOL) override { ++invalidations; }
  void TxViewChange(BOOL) override {}
  BOOL TxCreateCaret(void*, int, int) override {
    ++caret_creates;
    return TRUE;
  }
  BOOL TxShowCaret(BOOL show) override {
    caret_shown = show != FALSE;
    return TRUE;
  }
  BOOL TxSetCaretPos(int, int) override { return TRUE; }
  BOOL TxSetTimer(UINT, UINT) override { return TRUE; }
  void TxKillTimer(UINT) override {}
  void TxScrollWindowEx(int, int, const RECT*, const RECT*, void*, RECT*, UINT) override {}
  void TxSetCapture(BOOL) override {}
  void TxSetFocus() override {}
  void TxSetCursor(HCURSOR, BOOL) override {}
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
    *rc = RECT{};
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
  COLORREF TxGetSysColor(int index) override { return ::GetSysColor(index); }
  HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override {
    *style = TXTBACK_TRANSPARENT;
    return S_OK;
  }
  HRESULT TxGetMaxLength(DWORD* length) override {
    *length = max_length;
    return S_OK;
  }
  HRESULT TxGetScrollBars(DWORD* bars) override {
    *bars = ES_AUTOHSCROLL;
    return S_OK;
  }
  HRESULT TxGetPasswordChar(WCHAR* ch) override {
    *ch = L'*';
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
  HRESULT TxNotify(DWORD code, void*) override {
    notifications.push_back(code);
    return S_OK;
  }
  void* TxImmGetContext() override { return nullptr; }
  void TxImmReleaseContext(void*) override {}
  HRESULT TxGetSelectionBarWidth(LONG* width) override {
    *width = 0;
    return S_OK;
  }
};

class TextServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IUnknown* unknown = nullptr;
    ASSERT_EQ(CreateTextServices(nullptr, &host_, &unknown), S_OK);
    ASSERT_NE(unknown, nullptr);
    void* services = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_ITextServices, &services), S_OK);
    unknown->Release();
    services_ = static_cast<ITextServices*>(services);
    ASSERT_EQ(services_->OnTxInPlaceActivate(&host_.client), S_OK);
  }
  void TearDown() override {
    if (!services_) return;
    services_->OnTxInPlaceDeactivate();
    services_->Release();
  }

  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    LRESULT result = 0;
    services_->TxSendMessage(msg, wp, lp, &result);
    return result;
  }
  std::u16string Text() {
    std::u16string text;
    EXPECT_EQ(services_->TxGetText(&text), S_OK);
    return text;
  }
  void Type(std::u16string_view text) {
    for (char16_t c : text) Send(WM_CHAR, c, 1);
  }

  RecordingHost host_;
  ITextServices* services_ = nullptr;
};

TEST(TextServicesCreation, RefusesAggregationAndAMissingHost) {
  RecordingHost host;
  IUnknown* unknown = &host;  // any outer object
  IUnknown* out = reinterpret_cast<IUnknown*>(1);
  EXPECT_TRUE(FAILED(CreateTextServices(unknown, &host, &out)));
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(FAILED(CreateTextServices(nullptr, nullptr, &out)));
  EXPECT_EQ(CreateTextServices(nullptr, &host, nullptr), E_POINTER);
}

TEST_F(TextServicesTest, TextRoundTripsThroughSetTextAndTheMessages) {
  const std::u16string text = u"C:\\KRDN 安装目录";
  ASSERT_EQ(services_->TxSetText(text.c_str()), S_OK);
  EXPECT_EQ(Text(), text);
  EXPECT_EQ(Send(WM_GETTEXTLENGTH), static_cast<LRESULT>(text.size()));

  std::u16string buffer(64, u'\0');
  const LRESULT copied = Send(WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(copied)), text);

  EXPECT_TRUE(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"")));
  EXPECT_EQ(Text(), u"");
}

TEST_F(TextServicesTest, AppendingAtTheEndThroughAnEmptySelection) {
  services_->TxSetText(u"第一行");
  const LRESULT end = Send(WM_GETTEXTLENGTH);
  Send(EM_SETSEL, end, end);
  Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"+更多"));
  EXPECT_EQ(Text(), u"第一行+更多");

  DWORD start = 0, stop = 0;
  Send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&stop));
  EXPECT_EQ(start, 6u);
  EXPECT_EQ(stop, 6u);
}

TEST_F(TextServicesTest, TypingIsCutAtTheHostsMaximumLengthAndNotifiesChanges) {
  host_.max_length = 4;
  services_->OnTxPropertyBitsChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
  Send(EM_SETEVENTMASK, 0, ENM_CHANGE);
  services_->OnTxUIActivate();
  Send(WM_SETFOCUS);
  Type(u"abcdef");
  EXPECT_EQ(Text(), u"abcd");
  EXPECT_NE(std::count(host_.notifications.begin(), host_.notifications.end(), static_cast<DWORD>(EN_CHANGE)), 0);
}

TEST_F(TextServicesTest, FocusShowsTheCaretThroughTheHost) {
  services_->TxSetText(u"abc");
  services_->OnTxUIActivate();
  Send(WM_SETFOCUS);
  EXPECT_GT(host_.caret_creates, 0);
  EXPECT_TRUE(host_.caret_shown);
}

// The engine draws through a device context onto a 32-bit section: text colour inside
// the bounds, the background left alone outside them.
TEST_F(TextServicesTest, DrawsTheTextInItsColourWithinTheBounds) {
  services_->TxSetText(u"WWWW");
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 300;
  info.bmiHeader.biHeight = -60;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, section);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  std::fill(pixels, pixels + 300 * 60, 0xFFFFFFFFu);

  RECT bounds{0, 0, 200, 40};
  EXPECT_EQ(services_->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr, &bounds, nullptr, nullptr, nullptr,
                              0, 0),
            S_OK);
  ::GdiFlush();
  int reddish_inside = 0, changed_outside = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 300; ++x) {
      const std::uint32_t p = pixels[y * 300 + x];
      const bool inside = x < bounds.right && y < bounds.bottom;
      const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (inside && r > 200 && g < 120 && b < 120) ++reddish_inside;
      if (!inside && (p & 0xFFFFFF) != 0xFFFFFF) ++changed_outside;
    }
  }
  EXPECT_GT(reddish_inside, 20);
  EXPECT_EQ(changed_outside, 0);

  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(section);
}

}  // namespace
