// Markup attributes of the element: its own, then the style's, the layout's and the
// layout parameter's, and what a changed attribute asks to be refreshed.
#include "core/application.h"
#include "core/skin_pool.h"
#include "core/swnd.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {

namespace {

bool ParseBool(std::u16string_view value) { return !(value == u"0" || EqualsNoCase(value, u"false")); }

// The dialog result names an "id" may carry instead of a number.
int IdFromName(std::u16string_view value) {
  static constexpr std::pair<std::u16string_view, int> kIds[] = {
      {u"IDOK", 1},    {u"IDCANCEL", 2}, {u"IDABORT", 3}, {u"IDRETRY", 4}, {u"IDIGNORE", 5},
      {u"IDYES", 6},   {u"IDNO", 7},     {u"IDCLOSE", 8}, {u"IDHELP", 9},
  };
  for (const auto& [name, id] : kIds)
    if (EqualsNoCase(value, name)) return id;
  return 0;
}

bool IsMarginOrPadding(std::u16string_view name) {
  for (std::u16string_view n : {u"margin", u"margin-x", u"margin-y", u"inset", u"padding", u"padding_left",
                                u"padding_top", u"padding_right", u"padding_bottom"})
    if (EqualsNoCase(name, n)) return true;
  return false;
}

std::u16string ResolveStringText(std::u16string_view value) {
  SApplication* app = SApplication::Instance();
  return app ? app->UiDef().ResolveString(value) : std::u16string(value);
}

}  // namespace

std::u16string SWindow::TranslationContext() const {
  if (!tr_ctx_.empty()) return tr_ctx_;
  return container_ ? container_->HostTranslationContext() : std::u16string();
}

HRESULT SWindow::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  bool known = false;
  HRESULT hr = ApplyOwnAttribute(name, value, loading, known);
  if (!known) {
    hr = style_.ApplyAttribute(name, value, loading);
    if (hr != E_NOTIMPL) {
      hr |= kStyleAttrBit;
      // Margin and padding move the children area: the children are placed again.
      if (!loading && SUCCEEDED(hr) && IsMarginOrPadding(name)) AskRelayout(swnd_, true);
    } else if (layout_ && (hr = layout_->ApplyAttribute(name, value, loading)) != E_NOTIMPL) {
      hr |= kLayoutAttrBit;
    } else if (layout_param_ && (hr = layout_param_->ApplyAttribute(name, value, loading)) != E_NOTIMPL) {
      hr |= kLayoutParamAttrBit;
    } else {
      hr = FallbackAttribute(name, value, loading);
    }
  }
  return AttributeApplied(name, value, loading, hr);
}

HRESULT SWindow::AttributeApplied(std::u16string_view, std::u16string_view, bool loading, HRESULT result) {
  if (loading || (result & 0xFFFF) != 0) return result;
  if ((result & (kLayoutAttrBit | kLayoutParamAttrBit)) && parent_) parent_->AskRelayout(swnd_, true);
  else MarkDirty();
  return result;
}

HRESULT SWindow::FallbackAttribute(std::u16string_view, std::u16string_view, bool) { return E_FAIL; }

HRESULT SWindow::ApplyLayoutAttribute(std::u16string_view value) {
  auto layout = SAutoRefPtr<ILayout>::Adopt(NewLayoutByTag(value));
  if (!layout) return E_INVALIDARG;
  layout_ = layout;
  for (SWindow* c = first_child_; c; c = c->next_)
    if (!layout_->AcceptsParams(c->LayoutParams()))
      c->SetLayoutParams(SAutoRefPtr<ILayoutParam>::Adopt(layout_->NewLayoutParams()).get());
  layout_dirty_ = kLayoutDirty;
  return S_OK;
}

void SWindow::ApplyIdText(std::u16string_view value) {
  if (value.empty()) return;
  if (StartsWithNoCase(value, u"ID")) {
    if (int id = IdFromName(value)) id_ = id;
    return;
  }
  if (auto id = ReadInt(value, false)) id_ = *id;
}

void SWindow::ApplySkinByName(std::u16string_view name, bool non_client, int scale) {
  (non_client ? nc_skin_name_ : bg_skin_name_) = name;
  SApplication* app = SApplication::Instance();
  ISkinObj* skin = (app && !name.empty()) ? app->SkinPools().GetSkin(name, scale) : nullptr;
  if (skin && colorize_) skin->Colorize(colorize_);
  (non_client ? nc_skin_ : bg_skin_) = skin;
}

HRESULT SWindow::ApplyOwnAttribute(std::u16string_view name, std::u16string_view value, bool loading, bool& known) {
  known = true;
  if (EqualsNoCase(name, u"layout")) return ApplyLayoutAttribute(value);
  if (EqualsNoCase(name, u"class")) {
    ApplyStyleClass(value, loading);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"id")) {
    ApplyIdText(value);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"name")) {
    name_ = value;
    if (id_ == 0)
      if (SApplication* app = SApplication::Instance()) id_ = app->IdForName(name_);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"skin")) {
    ApplySkinByName(value, false, CurrentScale());
    if (loading) return S_FALSE;
    if (layout_param_ && layout_param_->IsWrapContent(LayoutAxis::Any)) AskRelayout(swnd_, true);
    return S_OK;
  }
  if (EqualsNoCase(name, u"ncskin")) {
    ApplySkinByName(value, true, CurrentScale());
    return S_OK;
  }
  if (EqualsNoCase(name, u"data")) {
    user_data_ = static_cast<ULONG_PTR>(static_cast<std::uint32_t>(IntOr0(value, true)));
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"text")) {
    std::u16string text = ResolveStringText(value);
    if (loading) text_.SetText(text);
    else SetElementText(text);
    return S_OK;
  }
  if (EqualsNoCase(name, u"trCtx")) {
    tr_ctx_ = ResolveStringText(value);
    text_.Translate();
    tip_.Translate();
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"enable")) {
    bool enable = ParseBool(value);
    if (loading) {
      // The markup's own request, kept like EnableElement's so that enabling the parent
      // later does not enable this element again.
      SetOwnFlag(kOwnDisabled, !enable);
      state_ = enable ? (state_ & ~WndState_Disable) : ((state_ | WndState_Disable) & ~WndState_Hover);
    } else {
      EnableElement(enable, true);
    }
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"visible") || EqualsNoCase(name, u"show")) {
    if (loading) SetOwnFlag(kOwnVisible, ParseBool(value));
    else ShowElement(ParseBool(value), true);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"display")) {
    SetOwnFlag(kOwnDisplay, ParseBool(value));
    if (loading) return S_FALSE;
    if (parent_) parent_->AskRelayout(swnd_, true);
    return S_OK;
  }
  if (EqualsNoCase(name, u"cache")) {
    SetOwnFlag(kOwnCache, ParseBool(value));
    if (!loading) RebuildCache();
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"alpha")) {
    style_.alpha = static_cast<BYTE>(std::clamp(IntOr0(value, false), 0, 255));
    if (loading) return S_FALSE;
    if (!UsesLayer()) RebuildCache();
    return S_OK;
  }
  if (EqualsNoCase(name, u"layeredWindow")) {
    SetOwnFlag(kOwnLayered, ParseBool(value));
    if (loading) return S_FALSE;
    RebuildLayer();
    return S_OK;
  }
  if (EqualsNoCase(name, u"trackMouseEvent")) {
    bool track = ParseBool(value);
    bool was = (style_.flags & kStyleTrackMouse) != 0;
    style_.flags = track ? (style_.flags | kStyleTrackMouse) : (style_.flags & ~kStyleTrackMouse);
    if (!loading && container_ && track != was) {
      if (track) container_->AddMouseTracker(swnd_);
      else container_->RemoveMouseTracker(swnd_);
    }
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"tip")) {
    std::u16string tip = ResolveStringText(value);
    if (loading) tip_.SetText(tip);
    else SetTipText(tip);
    return S_FALSE;
  }
  if (EqualsNoCase(name, u"maxWidth")) {
    max_width_ = ResolveLayoutDimension(value);
    return S_FALSE;
  }
  struct FlagAttr {
    std::u16string_view name;
    DWORD flag;
    HRESULT result;
  };
  static constexpr FlagAttr kFlags[] = {
      {u"msgTransparent", kOwnMsgTransparent, S_FALSE},
      {u"clipClient", kOwnClipClient, S_FALSE},
      {u"focusable", kOwnFocusable, S_FALSE},
      {u"drawFocusRect", kOwnDrawFocusRect, S_OK},
  };
  for (const auto& f : kFlags) {
    if (EqualsNoCase(name, f.name)) {
      SetOwnFlag(f.flag, ParseBool(value));
      return f.result;
    }
  }
  if (EqualsNoCase(name, u"float")) {
    float_ = ParseBool(value);
    return S_FALSE;
  }
  known = false;
  return E_NOTIMPL;
}

void SWindow::ApplyStyleClass(std::u16string_view name, bool loading) {
  SApplication* app = SApplication::Instance();
  if (!app) return;
  SXmlNode style = app->StylePools().FindStyleClass(name);
  if (!style) return;
  SXmlAttr layout = style.Attribute(u"layout");
  if (layout) {
    ApplyAttribute(layout.Name(), layout.Value(), loading);
    layout.SetMark(true);
  }
  for (SXmlAttr a = style.FirstAttribute(); a; a = a.Next()) {
    if (a.Marked() || EqualsNoCase(a.Name(), u"class")) continue;
    ApplyAttribute(a.Name(), a.Value(), loading);
  }
  if (layout) layout.SetMark(false);
}

}  // namespace LOOM
