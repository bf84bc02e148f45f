// The engine's interface methods, its message dispatch and the properties and formats
// it reads from the host.
#include "platform/text/linux/text_engine.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/base/icon.h"
#include "platform/ui/input.h"
#include "platform/ui/monitor.h"
#include "platform/ui/sys_colors.h"

namespace platform {

HRESULT CreateTextServices(IUnknown* outer, ITextHost* host, IUnknown** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return E_NOINTERFACE;  // CLASS_E_NOAGGREGATION on the platform
  if (!host) return E_INVALIDARG;
  try {
    *out = new text::TextEngine(host);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace platform

namespace platform::text {
namespace {

constexpr LONG kTwipsPerInch = 1440;
constexpr LONG kHimetricPerInch = 2540;

int Dpi() {
  UINT dpi = GetDpiForSystem();
  return dpi > 0 ? static_cast<int>(dpi) : 96;
}

LONG HimetricToPixels(LONG himetric) {
  return static_cast<LONG>(std::lround(static_cast<double>(himetric) * Dpi() / kHimetricPerInch));
}

}  // namespace

TextEngine::TextEngine(ITextHost* host, Options options) : host_(host), options_(std::move(options)) {
  if (!options_.key_down) {
    options_.key_down = [](int vk) { return (GetKeyState(vk) & 0x8000) != 0; };
  }
  char_format_.cbSize = sizeof(CHARFORMAT2W);
  para_format_.cbSize = sizeof(PARAFORMAT2);
  para_format_.wAlignment = PFA_LEFT;
  ReadProperties();
  ReadCharFormat();
  ReadParaFormat();
  UpdateGeometry(nullptr);
}

TextEngine::~TextEngine() = default;

HRESULT TextEngine::QueryInterface(const GUID& iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown) {
    *out = static_cast<IUnknown*>(this);
  } else if (iid == IID_ITextServices) {
    *out = static_cast<ITextServices*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TextEngine::AddRef() { return ++refs_; }

ULONG TextEngine::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---- messages ------------------------------------------------------------------------

HRESULT TextEngine::TxSendMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  LRESULT answer = 0;
  bool handled = false;
  try {
    handled = Dispatch(msg, wp, lp, answer);
  } catch (const std::bad_alloc&) {
    // The change did not happen; the text is as it was, the measures are rebuilt.
    layout_.Reset();
    anchor_ = doc_.Snap(anchor_);
    caret_ = doc_.Snap(caret_);
    InvalidateView();
    if (host_) host_->TxNotify(EN_ERRSPACE, nullptr);
    if (result) *result = 0;
    return E_OUTOFMEMORY;
  }
  if (result) *result = answer;
  return handled ? S_OK : S_FALSE;
}

bool TextEngine::Dispatch(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  return TextMessage(msg, wp, lp, result) || LineMessage(msg, wp, lp, result) ||
         FormatMessage(msg, wp, lp, result) || EditMessage(msg, wp, lp, result) ||
         InputMessage(msg, wp, lp, result);
}

// ---- interface methods -----------------------------------------------------------------

HRESULT TextEngine::TxDraw(DWORD aspect, LONG, void*, void*, void* draw, void*, const RECT* bounds, const RECT*,
                           RECT* update, BOOL (*)(DWORD), DWORD, LONG) {
  if (aspect != DVASPECT_CONTENT || !draw) return E_INVALIDARG;
  RECT area = bounds ? *bounds : client_;
  Draw(draw, area, update);
  return S_OK;
}

HRESULT TextEngine::TxGetHScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) {
  const int width = client_.right - client_.left;
  if (min) *min = 0;
  if (max) *max = std::max(0, MaxScrollX() + width - 1);
  if (pos) *pos = scroll_x_;
  if (page) *page = width;
  if (enabled) *enabled = MaxScrollX() > 0 ? TRUE : FALSE;
  return S_OK;
}

HRESULT TextEngine::TxGetVScroll(LONG* min, LONG* max, LONG* pos, LONG* page, BOOL* enabled) {
  const int height = client_.bottom - client_.top;
  if (min) *min = 0;
  if (max) *max = std::max(0, MaxScrollY() + height - 1);
  if (pos) *pos = scroll_y_;
  if (page) *page = height;
  if (enabled) *enabled = MaxScrollY() > 0 ? TRUE : FALSE;
  return S_OK;
}

HRESULT TextEngine::OnTxSetCursor(DWORD, LONG, void*, void*, void*, void*, const RECT*, int x, int y) {
  if (!host_) return E_FAIL;
  RECT view = ViewRect();
  bool over_text = x >= view.left && x < view.right && y >= view.top && y < view.bottom;
  host_->TxSetCursor(LoadSystemCursor(over_text ? IDC_IBEAM : IDC_ARROW), over_text ? TRUE : FALSE);
  return S_OK;
}

HRESULT TextEngine::TxQueryHitPoint(DWORD, LONG, void*, void*, void*, void*, const RECT*, int x, int y,
                                    DWORD* hit) {
  if (!hit) return E_POINTER;
  RECT view = ViewRect();
  *hit = x >= view.left && x < view.right && y >= view.top && y < view.bottom ? HITRESULT_HIT : HITRESULT_OUTSIDE;
  return S_OK;
}

HRESULT TextEngine::OnTxInPlaceActivate(const RECT* client) {
  in_place_ = true;
  UpdateGeometry(client);
  return S_OK;
}

HRESULT TextEngine::OnTxInPlaceDeactivate() {
  in_place_ = false;
  if (focused_) {
    LRESULT ignored = 0;
    Dispatch(WM_KILLFOCUS, 0, 0, ignored);
  }
  return S_OK;
}

HRESULT TextEngine::OnTxUIActivate() { return S_OK; }
HRESULT TextEngine::OnTxUIDeactivate() { return S_OK; }

HRESULT TextEngine::TxGetText(std::u16string* text) {
  if (!text) return E_POINTER;
  *text = WithCrLf(doc_.Text());
  return S_OK;
}

HRESULT TextEngine::TxSetText(const char16_t* text) {
  LRESULT ignored = 0;
  return TxSendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), &ignored);
}

HRESULT TextEngine::TxGetCurTargetX(LONG* x) {
  if (!x) return E_POINTER;
  *x = layout_.XOfPosition(caret_);
  return S_OK;
}

HRESULT TextEngine::TxGetBaseLinePos(LONG* pos) {
  if (!pos) return E_POINTER;
  *pos = layout_.Baseline();
  return S_OK;
}

HRESULT TextEngine::TxGetNaturalSize(DWORD, void*, void*, void*, DWORD, const SIZE*, LONG* width, LONG* height) {
  if (!width || !height) return E_POINTER;
  const TextPos lines = layout_.LineCount();
  int widest = 0;
  // Measuring every line of a long text would stall; the lines measured so far and
  // the first screenful are enough for a box that sizes itself to its text.
  for (TextPos line = 0; line < lines && line < 64; ++line) widest = std::max(widest, layout_.LineWidth(line));
  *width = std::max(widest, layout_.WidestMeasuredLine()) + inset_.left + inset_.right + kCaretWidth;
  *height = static_cast<LONG>(std::min<std::int64_t>(std::int64_t{lines} * layout_.LineHeight(), 0x3FFFFFFF)) +
            inset_.top + inset_.bottom;
  return S_OK;
}

HRESULT TextEngine::TxGetDropTarget(void** target) {
  if (target) *target = nullptr;
  return E_NOTIMPL;
}

HRESULT TextEngine::OnTxPropertyBitsChange(DWORD mask, DWORD) {
  try {
    ReadProperties();
    if (mask & TXTBIT_CHARFORMATCHANGE) ReadCharFormat();
    if (mask & TXTBIT_PARAFORMATCHANGE) ReadParaFormat();
    UpdateGeometry(nullptr);
    if (mask & TXTBIT_SCROLLBARCHANGE) ReportScrollRanges(true);
  } catch (const std::bad_alloc&) {
    layout_.Reset();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT TextEngine::TxGetCachedSize(DWORD* width, DWORD* height) {
  if (!width || !height) return E_POINTER;
  *width = static_cast<DWORD>(std::max(0, client_.right - client_.left));
  *height = static_cast<DWORD>(std::max(0, client_.bottom - client_.top));
  return S_OK;
}

// ---- properties and formats --------------------------------------------------------------

void TextEngine::ReadProperties() {
  DWORD bits = 0;
  if (host_) host_->TxGetPropertyBits(0xFFFFFFFF, &bits);
  const DWORD old = props_;
  props_ = bits;
  WCHAR mask = 0;
  if (Password() && host_) host_->TxGetPasswordChar(&mask);
  if (Password() && mask == 0) mask = u'*';
  layout_.SetPasswordChar(Password() ? mask : 0);
  if ((old ^ props_) & (TXTBIT_USEPASSWORD | TXTBIT_HIDESELECTION)) InvalidateView();
  if ((props_ & TXTBIT_READONLY) && !(old & TXTBIT_READONLY)) pending_high_ = 0;
}

void TextEngine::ReadCharFormat() {
  const CHARFORMATW* cf = nullptr;
  if (host_ && SUCCEEDED(host_->TxGetCharFormat(&cf)) && cf) {
    // A host's record replaces the format whole: the fields it does not carry are
    // back to their defaults.
    char_format_ = CHARFORMAT2W{};
    char_format_.cbSize = sizeof(CHARFORMAT2W);
    ApplyCharFormat(cf);
  } else {
    ApplyCharFormat(nullptr);
  }
}

void TextEngine::ApplyCharFormat(const CHARFORMATW* cf) {
  if (cf && (cf->cbSize == sizeof(CHARFORMATW) || cf->cbSize == sizeof(CHARFORMAT2W))) {
    const DWORD mask = cf->dwMask;
    const DWORD effect_bits = mask & (CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT);
    char_format_.dwEffects = (char_format_.dwEffects & ~effect_bits) | (cf->dwEffects & effect_bits);
    if (mask & CFM_COLOR) {
      char_format_.dwEffects = (char_format_.dwEffects & ~CFE_AUTOCOLOR) | (cf->dwEffects & CFE_AUTOCOLOR);
      char_format_.crTextColor = cf->crTextColor & 0x00FFFFFF;
    }
    if (mask & CFM_SIZE) char_format_.yHeight = cf->yHeight;
    if (mask & CFM_OFFSET) char_format_.yOffset = cf->yOffset;
    if (mask & CFM_CHARSET) char_format_.bCharSet = cf->bCharSet;
    if (mask & CFM_FACE) {
      std::copy(std::begin(cf->szFaceName), std::end(cf->szFaceName), std::begin(char_format_.szFaceName));
      char_format_.szFaceName[LF_FACESIZE - 1] = 0;
      char_format_.bPitchAndFamily = cf->bPitchAndFamily;
    }
    if (cf->cbSize == sizeof(CHARFORMAT2W)) {
      const auto* cf2 = reinterpret_cast<const CHARFORMAT2W*>(cf);
      if (mask & CFM_WEIGHT) char_format_.wWeight = cf2->wWeight;
    }
    char_format_.dwMask |= mask;
  }

  FontSpec font;
  const WCHAR* face = char_format_.szFaceName;
  font.face.assign(face, std::find(face, face + LF_FACESIZE, u'\0'));
  if (char_format_.yHeight != 0) {
    font.pixel_size = std::abs(static_cast<double>(char_format_.yHeight)) * Dpi() / kTwipsPerInch;
  }
  font.weight = char_format_.wWeight >= 100 && char_format_.wWeight <= 1000 ? char_format_.wWeight
                : (char_format_.dwEffects & CFE_BOLD)                       ? 700
                                                                            : 400;
  if ((char_format_.dwEffects & CFE_BOLD) && font.weight < 700) font.weight = 700;
  font.italic = (char_format_.dwEffects & CFE_ITALIC) != 0;
  font.underline = (char_format_.dwEffects & CFE_UNDERLINE) != 0;
  font.strike_out = (char_format_.dwEffects & CFE_STRIKEOUT) != 0;
  const bool automatic = (char_format_.dwEffects & CFE_AUTOCOLOR) != 0 || !(char_format_.dwMask & CFM_COLOR);
  text_color_ = automatic ? (host_ ? host_->TxGetSysColor(COLOR_WINDOWTEXT) : GetSysColor(COLOR_WINDOWTEXT))
                          : char_format_.crTextColor;
  layout_.SetFont(font);
  if (caret_created_ && focused_) {
    caret_created_ = false;
    caret_shown_ = false;
    UpdateCaret();
  }
  ReportScrollRanges(false);
  InvalidateView();
}

void TextEngine::ReadParaFormat() {
  const PARAFORMAT* pf = nullptr;
  if (host_ && SUCCEEDED(host_->TxGetParaFormat(&pf)) && pf) ApplyParaFormat(pf);
}

void TextEngine::ApplyParaFormat(const PARAFORMAT* pf) {
  if (!pf || (pf->cbSize != sizeof(PARAFORMAT) && pf->cbSize != sizeof(PARAFORMAT2))) return;
  if (pf->dwMask & PFM_ALIGNMENT) para_format_.wAlignment = pf->wAlignment;
  if (pf->dwMask & PFM_TABSTOPS) {
    para_format_.cTabCount = std::clamp<short>(pf->cTabCount, 0, MAX_TAB_STOPS);
    std::copy(pf->rgxTabs, pf->rgxTabs + para_format_.cTabCount, para_format_.rgxTabs);
    // One stop interval for every tab: the first stop, in twips.
    if (para_format_.cTabCount > 0) {
      const LONG twips = para_format_.rgxTabs[0] & 0x00FFFFFF;
      if (twips > 0) layout_.SetTabStop(static_cast<int>(std::lround(static_cast<double>(twips) * Dpi() / kTwipsPerInch)));
    }
  }
  para_format_.dwMask |= pf->dwMask;
  UpdateGeometry(nullptr);
}

TextPos TextEngine::MaxLength() const {
  DWORD max = 0x7FFF;
  if (host_) host_->TxGetMaxLength(&max);
  return static_cast<TextPos>(std::min<DWORD>(max, static_cast<DWORD>(kMaxTextLength)));
}

bool TextEngine::KeyIsDown(int vk) const { return options_.key_down(vk); }

// ---- geometry ----------------------------------------------------------------------------

void TextEngine::UpdateGeometry(const RECT* client) {
  RECT rc{};
  if (client) {
    rc = *client;
  } else if (host_) {
    host_->TxGetClientRect(&rc);
  }
  RECT inset{};
  if (host_) host_->TxGetViewInset(&inset);
  client_ = rc;
  inset_ = {std::max(0, HimetricToPixels(inset.left)), std::max(0, HimetricToPixels(inset.top)),
            std::max(0, HimetricToPixels(inset.right)), std::max(0, HimetricToPixels(inset.bottom))};
  const Align align = para_format_.wAlignment == PFA_CENTER  ? Align::kCenter
                      : para_format_.wAlignment == PFA_RIGHT ? Align::kRight
                                                             : Align::kLeft;
  layout_.SetAlignment(align, ViewWidth());
  const bool wrap = (props_ & TXTBIT_WORDWRAP) && Multiline();
  layout_.SetWrapWidth(wrap ? std::max(1, ViewWidth()) : 0);
  ScrollTo(scroll_x_, scroll_y_);
  ReportScrollRanges(false);
  UpdateCaret();
  InvalidateView();
}

RECT TextEngine::ViewRect() const {
  RECT view{client_.left + inset_.left, client_.top + inset_.top, client_.right - inset_.right,
            client_.bottom - inset_.bottom};
  if (view.right < view.left) view.right = view.left;
  if (view.bottom < view.top) view.bottom = view.top;
  return view;
}

int TextEngine::ViewWidth() const {
  RECT view = ViewRect();
  return view.right - view.left;
}

int TextEngine::ViewHeight() const {
  RECT view = ViewRect();
  return view.bottom - view.top;
}

}  // namespace platform::text
