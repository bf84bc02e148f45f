// The edit element: attributes, creation of its engine, default formats and the
// operations window controllers use.
#include "core/rich_edit.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <filesystem>
#include <memory>
#include <vector>

#include "core/application.h"
#include "core/render_refs.h"
#include "core/font_pool.h"
#include "core/log.h"
#include "core/res_provider_mgr.h"
#include "core/skin_pool.h"
#include "core/text_host.h"
#include "core/text_util.h"
#include "core/values.h"
#include "platform/ui/monitor.h"
#include "platform/base/utf.h"

namespace LOOM {
namespace {

constexpr int kSystemBorderSkin = 6;
constexpr LONG kTwipsPerInch = 1440;
// The most rich text a box streams in from a file.
constexpr std::size_t kMaxRtfBytes = 64u << 20;

bool OffIfZero(std::u16string_view value) { return value != u"0"; }

int ScreenDpi() {
  UINT dpi = platform::GetDpiForSystem();
  return dpi > 0 ? static_cast<int>(dpi) : 96;
}

// EM_STREAMIN from a block of memory.
struct MemoryStream {
  const char* data;
  std::size_t size;
  std::size_t at = 0;
};

DWORD ReadMemory(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb) {
  auto* m = reinterpret_cast<MemoryStream*>(cookie);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<LONG>(cb, 0)), m->size - m->at);
  std::copy_n(m->data + m->at, n, buffer);
  m->at += n;
  *pcb = static_cast<LONG>(n);
  return 0;
}

}  // namespace

SRichEdit::SRichEdit() {
  SetNonClientSkin(SystemSkinByIndex(kSystemBorderSkin, 100));
  SetOwnFlag(kOwnClipClient, true);
  SetOwnFlag(kOwnFocusable, true);
  EventTable().DeclareEvent(EVT_RE_NOTIFY, u"on_richedit_notify");
  EventTable().DeclareEvent(EVT_RE_MENU, u"on_richedit_menu");
  EventTable().DeclareEvent(EVT_KEYDOWN, u"on_key_down");
  char_format_.cbSize = sizeof(CHARFORMAT2W);
  para_format_.cbSize = sizeof(PARAFORMAT2);
}

SRichEdit::~SRichEdit() {
  if (host_) host_->Shutdown();
  host_.reset();
}

platform::ITextServices* SRichEdit::TextServices() const { return host_ ? host_->Services() : nullptr; }

// ---- attributes ----------------------------------------------------------------------------

void SRichEdit::TellEngine(DWORD bits) {
  if (platform::ITextServices* services = TextServices(); services && created_) {
    services->OnTxPropertyBitsChange(bits, PropertyBits(bits));
  }
}

void SRichEdit::SetStyleBit(DWORD bit, bool on, DWORD engine_bit) {
  style_bits_ = on ? (style_bits_ | bit) : (style_bits_ & ~bit);
  if (engine_bit) TellEngine(engine_bit);
}

void SRichEdit::SetOption(DWORD bit, bool on) { options_ = on ? (options_ | bit) : (options_ & ~bit); }

HRESULT SRichEdit::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  auto done = [&](HRESULT hr = S_OK) { return AttributeApplied(name, value, loading, hr); };
  auto style = [&](DWORD bit, DWORD engine_bit) {
    SetStyleBit(bit, OffIfZero(value), loading ? 0 : engine_bit);
    return done();
  };
  auto option = [&](DWORD bit) {
    SetOption(bit, IntOr0(value, true) != 0);
    return done();
  };
  if (EqualsNoCase(name, u"style")) {
    style_bits_ = static_cast<DWORD>(IntOr0(value, true));
    if (!loading) TellEngine(TXTBIT_MULTILINE | TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_SCROLLBARCHANGE);
    return done();
  }
  if (EqualsNoCase(name, u"maxBuf")) {
    max_length_ = IntOr0(value, true);
    if (!loading) TellEngine(TXTBIT_MAXLENGTHCHANGE);
    return done(S_FALSE);
  }
  if (EqualsNoCase(name, u"transparent")) return option(kOptTransparent);
  if (EqualsNoCase(name, u"rich")) return option(kOptRich);
  if (EqualsNoCase(name, u"vertical")) return option(kOptVertical);
  if (EqualsNoCase(name, u"allowBeep")) return option(kOptAllowBeep);
  if (EqualsNoCase(name, u"autoWordSel")) return option(kOptAutoWordSel);
  if (EqualsNoCase(name, u"wordWrap")) {
    SetOption(kOptWordWrap, IntOr0(value, true) != 0);
    if (!loading) TellEngine(TXTBIT_WORDWRAP);
    return done();
  }
  if (EqualsNoCase(name, u"vcenter")) {
    SetOption(kOptVCenter, IntOr0(value, true) != 0);
    if (!loading && created_) OnNcCalcSize();
    return done();
  }
  if (EqualsNoCase(name, u"wantTab")) {
    SetOption(kOptWantTab, !(value == u"0" || EqualsNoCase(value, u"false")));
    return done(S_FALSE);
  }
  if (EqualsNoCase(name, u"notifyChange")) {
    const bool on = OffIfZero(value);
    SetOption(kOptNotifyChange, on);
    if (platform::ITextServices* services = TextServices(); services && created_) {
      LRESULT mask = 0;
      services->TxSendMessage(EM_GETEVENTMASK, 0, 0, &mask);
      mask = on ? (mask | ENM_CHANGE) : (mask & ~LRESULT{ENM_CHANGE});
      services->TxSendMessage(EM_SETEVENTMASK, 0, mask, nullptr);
    }
    return done(S_FALSE);
  }
  if (EqualsNoCase(name, u"colorText")) {
    HRESULT hr = SWindow::ApplyAttribute(name, value, loading);
    if (created_ && SUCCEEDED(hr)) {
      COLORREF color = kNoColor;
      if (ParseColor(value, color) && color != kNoColor) {
        char_format_.crTextColor = color & 0x00FFFFFF;
        char_format_.dwEffects &= ~CFE_AUTOCOLOR;
        TellEngine(TXTBIT_CHARFORMATCHANGE);
      }
    }
    return hr;
  }
  if (EqualsNoCase(name, u"align")) {
    if (EqualsNoCase(value, u"center")) style_bits_ |= ES_CENTER;
    if (EqualsNoCase(value, u"right")) style_bits_ |= ES_RIGHT;
    if (created_) {
      BuildDefaultParaFormat();
      TellEngine(TXTBIT_PARAFORMATCHANGE);
    }
    return done();
  }
  if (EqualsNoCase(name, u"rtf")) {
    rtf_source_ = value;
    if (created_) StreamRtf(rtf_source_);
    return done();
  }
  if (EqualsNoCase(name, u"hscrollBar")) return style(WS_HSCROLL, TXTBIT_SCROLLBARCHANGE);
  if (EqualsNoCase(name, u"vscrollBar")) return style(WS_VSCROLL, TXTBIT_SCROLLBARCHANGE);
  if (EqualsNoCase(name, u"autoHscroll")) return style(ES_AUTOHSCROLL, TXTBIT_SCROLLBARCHANGE);
  if (EqualsNoCase(name, u"autoVscroll")) return style(ES_AUTOVSCROLL, TXTBIT_SCROLLBARCHANGE);
  if (EqualsNoCase(name, u"multiLines")) return style(ES_MULTILINE, TXTBIT_MULTILINE);
  if (EqualsNoCase(name, u"readOnly")) {
    SetStyleBit(ES_READONLY, OffIfZero(value), 0);
    UpdateDragDrop();
    if (!loading) TellEngine(TXTBIT_READONLY);
    return done();
  }
  if (EqualsNoCase(name, u"wantReturn")) return style(ES_WANTRETURN, 0);
  if (EqualsNoCase(name, u"number")) return style(ES_NUMBER, 0);
  if (EqualsNoCase(name, u"password")) return style(ES_PASSWORD, TXTBIT_USEPASSWORD);
  if (EqualsNoCase(name, u"passwordChar")) {
    if (!value.empty()) password_char_ = value.front();
    if (!loading) TellEngine(TXTBIT_USEPASSWORD);
    return done();
  }
  if (EqualsNoCase(name, u"enableDragdrop")) {
    SetOption(kOptDragDrop, OffIfZero(value));
    UpdateDragDrop();
    return done(S_FALSE);
  }
  if (EqualsNoCase(name, u"autoSel")) {
    SetOption(kOptAutoSel, OffIfZero(value));
    return done(S_FALSE);
  }
  return SPanel::ApplyAttribute(name, value, loading);
}

DWORD SRichEdit::PropertyBits(DWORD mask) const {
  DWORD bits = 0;
  if (options_ & kOptRich) bits |= TXTBIT_RICHTEXT;
  if (style_bits_ & ES_MULTILINE) bits |= TXTBIT_MULTILINE;
  if (style_bits_ & ES_READONLY) bits |= TXTBIT_READONLY;
  if (style_bits_ & ES_PASSWORD) bits |= TXTBIT_USEPASSWORD;
  if (!(style_bits_ & ES_NOHIDESEL)) bits |= TXTBIT_HIDESELECTION;
  if (options_ & kOptSaveSelection) bits |= TXTBIT_SAVESELECTION;
  if (options_ & kOptAutoWordSel) bits |= TXTBIT_AUTOWORDSEL;
  if (options_ & kOptVertical) bits |= TXTBIT_VERTICAL;
  if (options_ & kOptWordWrap) bits |= TXTBIT_WORDWRAP;
  if (options_ & kOptAllowBeep) bits |= TXTBIT_ALLOWBEEP;
  return bits & mask;
}

void SRichEdit::UpdateDragDrop() {
  // The engine offers no drop target on this platform; what stays is to keep the
  // container's registration in step with the switches.
  const bool wanted = (options_ & kOptDragDrop) && !(style_bits_ & ES_READONLY);
  ISwndContainer* container = Container();
  if (!container || !created_) return;
  if (!wanted && drag_drop_registered_) {
    container->RemoveDropTarget(Handle());
    drag_drop_registered_ = false;
  }
  if (wanted && !drag_drop_registered_) {
    void* target = nullptr;
    if (platform::ITextServices* services = TextServices(); services && SUCCEEDED(services->TxGetDropTarget(&target)) && target) {
      drag_drop_registered_ = container->AddDropTarget(Handle(), static_cast<IDropTarget*>(target));
    }
  }
}

// ---- formats --------------------------------------------------------------------------------

void SRichEdit::BuildDefaultCharFormat() {
  SApplication* app = SApplication::Instance();
  auto rt = app ? MakeTarget(app->RenderFactory(), 1, 1) : nullptr;
  if (!rt) return;
  // The normal-state font and colour as painting finds them: the element's own, else
  // the nearest ancestor's, else the default font.
  IFont* font = nullptr;
  COLORREF color = kNoColor;
  for (const SWindow* e = this; e && (!font || color == kNoColor); e = e->GetParent()) {
    if (!font) font = e->Style().Font(0);
    if (color == kNoColor) color = e->Style().TextColor(0);
  }
  if (!font) font = app->FontPool().FontForDescription(u"", CurrentScale());
  if (font) rt->Select(font);

  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(CHARFORMAT2W);
  cf.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_OFFSET | CFM_CHARSET | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
  cf.crTextColor = color & 0x00FFFFFF;
  if (color == kNoColor) cf.dwEffects |= CFE_AUTOCOLOR;
  if (font) {
    cf.yHeight = std::abs(font->Height()) * kTwipsPerInch / ScreenDpi();
    if (font->IsBold()) cf.dwEffects |= CFE_BOLD;
    if (font->IsItalic()) cf.dwEffects |= CFE_ITALIC;
    if (font->IsUnderline()) cf.dwEffects |= CFE_UNDERLINE;
    cf.bCharSet = font->LogFont().charset;
    std::u16string_view face = font->FaceName().substr(0, LF_FACESIZE - 1);
    std::copy(face.begin(), face.end(), cf.szFaceName);
  }
  char_format_ = cf;
  SIZE a{};
  rt->TextExtent(u"A", &a);
  line_height_ = a.cy;
}

void SRichEdit::BuildDefaultParaFormat() {
  PARAFORMAT2 pf{};
  pf.cbSize = sizeof(PARAFORMAT2);
  pf.dwMask = 0x8001003F;
  pf.cTabCount = 1;
  pf.rgxTabs[0] = 720;
  pf.wAlignment = (style_bits_ & ES_CENTER) ? PFA_CENTER : (style_bits_ & ES_RIGHT) ? PFA_RIGHT : PFA_LEFT;
  para_format_ = pf;
}

LRESULT SRichEdit::OnSetCharFormat(WPARAM scope, LPARAM format) {
  platform::ITextServices* services = TextServices();
  if (!services) return 0;
  LRESULT result = 0;
  if (scope != SCF_DEFAULT) {
    services->TxSendMessage(EM_SETCHARFORMAT, scope, format, &result);
    return result;
  }
  const auto* cf = reinterpret_cast<const CHARFORMAT2W*>(format);
  if (!cf || cf->cbSize != sizeof(CHARFORMAT2W)) {
    LogWarning(u"set default char format failed! only CHARFORMAT2W can be set for default char format",
               "LOOM::SRichEdit::OnSetCharFormat", "src\\control\\SRichEdit", 1360);
    return 0;
  }
  services->TxSendMessage(EM_SETCHARFORMAT, scope, format, &result);
  char_format_ = *cf;
  TellEngine(TXTBIT_CHARFORMATCHANGE);
  return result;
}

LRESULT SRichEdit::OnSetParaFormat(LPARAM format) {
  const auto* pf = reinterpret_cast<const PARAFORMAT2*>(format);
  platform::ITextServices* services = TextServices();
  if (!services || !pf || pf->cbSize != sizeof(PARAFORMAT2)) return 0;
  LRESULT result = 0;
  services->TxSendMessage(EM_SETPARAFORMAT, 0, format, &result);
  if (pf->dwMask & PFM_ALIGNMENT) para_format_.wAlignment = pf->wAlignment;
  if (pf->dwMask & PFM_TABSTOPS) {
    para_format_.cTabCount = std::clamp<short>(pf->cTabCount, 0, MAX_TAB_STOPS);
    std::copy(pf->rgxTabs, pf->rgxTabs + para_format_.cTabCount, para_format_.rgxTabs);
  }
  return result;
}

// ---- creation and destruction ---------------------------------------------------------------

int SRichEdit::OnCreate() {
  if (int refused = SPanel::OnCreate(); refused != 0) return refused;
  BuildDefaultCharFormat();
  BuildDefaultParaFormat();

  host_ = SAutoRefPtr<STextHost>::Adopt(new STextHost(this));
  if (!host_->Init()) {
    host_.reset();
    return -1;
  }
  platform::ITextServices* services = host_->Services();
  const RECT client = ClientArea();
  services->OnTxInPlaceActivate(&client);
  host_->SetActive(false);
  services->OnTxUIDeactivate();
  services->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);

  LRESULT options = 0;
  services->TxSendMessage(EM_GETLANGOPTIONS, 0, 0, &options);
  services->TxSendMessage(EM_SETLANGOPTIONS, 0, (options & ~LRESULT{IMF_AUTOFONT}) | 0xA1, nullptr);
  if (options_ & kOptNotifyChange) services->TxSendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE, nullptr);

  created_ = true;
  if (!rtf_source_.empty()) {
    StreamRtf(rtf_source_);
  } else {
    SetWindowText(SWindow::GetElementText(false));
  }
  UpdateDragDrop();
  return 0;
}

void SRichEdit::OnDestroy() {
  if (drag_drop_registered_ && Container()) Container()->RemoveDropTarget(Handle());
  drag_drop_registered_ = false;
  if (host_) {
    if (platform::ITextServices* services = host_->Services()) services->OnTxInPlaceDeactivate();
    host_->Shutdown();
    host_.reset();
  }
  created_ = false;
  SPanel::OnDestroy();
}

void SRichEdit::StreamRtf(std::u16string_view reference) {
  platform::ITextServices* services = TextServices();
  if (!services) return;
  std::vector<BYTE> bytes;
  const std::size_t colon = reference.find(u':');
  if (colon != std::u16string_view::npos) {
    SApplication* app = SApplication::Instance();
    if (!app) return;
    std::u16string type(reference.substr(0, colon));
    std::u16string name(reference.substr(colon + 1));
    SResProviderMgr& mgr = app->ResProviders();
    const std::size_t size = mgr.ResourceSize(type, name);
    if (size == 0) return;
    bytes.resize(size);
    if (!mgr.CopyResourceBytes(type, name, bytes.data(), size)) return;
  } else {
    // No type: a file. Only a regular file, and only so much of it: markup naming a
    // device or a pipe must not stall the box or fill the memory.
    const std::filesystem::path path = platform::PathFromUtf16(reference);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    std::ifstream file(path, std::ios::binary);
    if (!file) return;
    char block[4096];
    while (bytes.size() < kMaxRtfBytes && file.read(block, sizeof(block)).gcount() > 0) {
      const auto* read = reinterpret_cast<const BYTE*>(block);
      bytes.insert(bytes.end(), read, read + file.gcount());
    }
  }
  MemoryStream memory{reinterpret_cast<const char*>(bytes.data()), bytes.size()};
  EDITSTREAM stream{reinterpret_cast<ULONG_PTR>(&memory), 0, ReadMemory};
  services->TxSendMessage(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream), nullptr);
  MarkDirty();
}

// ---- operations --------------------------------------------------------------------------------

LONG SRichEdit::TextLength() { return static_cast<LONG>(SendElementMessage(WM_GETTEXTLENGTH)); }

void SRichEdit::SelectRange(DWORD range, bool no_scroll) {
  SendElementMessage(EM_SETSEL, LOWORD(range), HIWORD(range));
  if (!no_scroll) SendElementMessage(EM_SCROLLCARET);
}

void SRichEdit::ReplaceSelection(std::u16string_view text, bool can_undo) {
  std::u16string copy(text);
  SendElementMessage(EM_REPLACESEL, can_undo ? TRUE : FALSE, reinterpret_cast<LPARAM>(copy.c_str()));
}

void SRichEdit::SetWindowText(std::u16string_view text) {
  std::u16string copy(text);
  SendElementMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
  MarkDirty();
}

std::u16string SRichEdit::GetWindowText() {
  const auto length = static_cast<std::size_t>(std::max<LRESULT>(0, SendElementMessage(WM_GETTEXTLENGTH)));
  std::u16string text(length + 1, u'\0');
  const auto copied = static_cast<std::size_t>(
      std::clamp<LRESULT>(SendElementMessage(WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())), 0,
                          static_cast<LRESULT>(length)));
  text.resize(copied);
  return text;
}

void SRichEdit::SetReadOnly(bool read_only) { SendElementMessage(EM_SETREADONLY, read_only ? 1 : 0); }

void SRichEdit::SetTextLimit(LONG limit) { SendElementMessage(EM_EXLIMITTEXT, 0, limit); }

std::u16string SRichEdit::GetElementText(bool raw) const {
  platform::ITextServices* services = TextServices();
  if (!services) return SWindow::GetElementText(raw);
  std::u16string text;
  services->TxGetText(&text);
  return text;
}

void SRichEdit::SetElementText(std::u16string_view text) {
  if (!TextServices()) {
    SWindow::SetElementText(text);
    return;
  }
  SetWindowText(text);
}

LRESULT SRichEdit::OnSetText(LPARAM text) {
  platform::ITextServices* services = TextServices();
  if (!services) return FALSE;
  LRESULT result = 0;
  if (services->TxSendMessage(WM_SETTEXT, 0, text, &result) != S_OK || !result) return result;
  // Text set from outside is never cut: the limit grows to hold it (counted as the
  // engine counts, a line break as one).
  GETTEXTLENGTHEX how{GTL_DEFAULT, CP_UTF16LE};
  LRESULT units = 0;
  services->TxSendMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0, &units);
  if (units > max_length_) {
    max_length_ = static_cast<LONG>(std::min<LRESULT>(units, 0x7FFFFFFF));
    TellEngine(TXTBIT_MAXLENGTHCHANGE);
  }
  return result;
}

void SRichEdit::ScaleSwitched(int scale) {
  SPanel::ScaleSwitched(scale);
  if (!created_) return;
  BuildDefaultCharFormat();
  TellEngine(TXTBIT_CHARFORMATCHANGE);
  OnNcCalcSize();
}

}  // namespace LOOM
