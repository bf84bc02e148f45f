#include <algorithm>
#include <cstring>

#include "core/application.h"
#include "core/render_refs.h"
#include "core/res_provider_mgr.h"
#include "core/skin.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {
namespace {

int MulDivRound(int v, int mul, int div) {
  long long p = static_cast<long long>(v) * mul;
  return static_cast<int>(p >= 0 ? (p + div / 2) / div : (p - div / 2) / div);
}

IBitmap* LoadPicture(std::u16string_view ref) {
  SApplication* app = SApplication::Instance();
  return app ? app->ResProviders().OpenImageByRef(ref) : nullptr;
}

SAutoRefPtr<IBitmap> ResampleOrNull(IBitmap* src, int w, int h) {
  if (!src || w <= 0 || h <= 0) return nullptr;
  return ResampledOf(src, w, h, 3);
}

}  // namespace

// ---- image list ------------------------------------------------------------------

HRESULT SSkinImgList::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"src")) {
    IBitmap* picture = LoadPicture(value);
    if (!picture) return E_FAIL;
    image_ = SAutoRefPtr<IBitmap>::Adopt(picture);
    saved_image_.reset();
  } else if (EqualsNoCase(name, u"states")) {
    SetStateCount(IntOr0(value));
  } else if (EqualsNoCase(name, u"tile")) {
    tile_ = IntOr0(value) != 0;
  } else if (EqualsNoCase(name, u"autoFit")) {
    auto_fit_ = IntOr0(value) != 0;
  } else if (EqualsNoCase(name, u"vertical")) {
    vertical_ = IntOr0(value) != 0;
  } else if (EqualsNoCase(name, u"filterLevel")) {
    if (value == u"none") filter_level_ = 0;
    else if (value == u"low") filter_level_ = 1;
    else if (value == u"medium") filter_level_ = 2;
    else if (value == u"high") filter_level_ = 3;
    else return E_FAIL;
  } else if (EqualsNoCase(name, u"stateMap")) {
    state_map_.clear();
    for (const auto& part : Split(value, u'-')) state_map_.push_back(IntOr0(part, false));
  } else {
    return SSkinObjBase::ApplyAttribute(name, value, loading);
  }
  return S_OK;
}

SIZE SSkinImgList::CellSize() const {
  if (!image_) return {0, 0};
  LONG w = static_cast<LONG>(image_->Width()), h = static_cast<LONG>(image_->Height());
  return vertical_ ? SIZE{w, h / states_} : SIZE{w / states_, h};
}

int SSkinImgList::StateCount() const {
  return state_map_.empty() ? states_ : static_cast<int>(state_map_.size());
}

UINT SSkinImgList::ExpandMode() const {
  if (!auto_fit_) return static_cast<UINT>(filter_level_) << 16;
  return (static_cast<UINT>(filter_level_) << 16) | (tile_ ? EM_TILE : EM_STRETCH);
}

RECT SSkinImgList::CellSource(int index) const {
  SIZE cell = CellSize();
  long long offset = static_cast<long long>(index) * (vertical_ ? cell.cy : cell.cx);
  // An index far outside the strip stays outside it: the draw then reads nothing.
  offset = std::clamp<long long>(offset, -(1LL << 30), 1LL << 30);
  RECT src{0, 0, cell.cx, cell.cy};
  if (vertical_) src.top += static_cast<LONG>(offset), src.bottom += static_cast<LONG>(offset);
  else src.left += static_cast<LONG>(offset), src.right += static_cast<LONG>(offset);
  return src;
}

void SSkinImgList::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  if (!image_) return;
  if (static_cast<unsigned>(state) < state_map_.size()) state = state_map_[static_cast<std::size_t>(state)];
  rt->DrawImageExpanded(rc, image_.get(), CellSource(state), ExpandMode(), alpha);
}

void SSkinImgList::Colorize(COLORREF color) {
  if (!enable_colorize_ || color == colorize_ || !image_) return;
  if (saved_image_) {  // start again from the untouched picture
    if (auto restored = CloneOf(saved_image_.get())) image_ = std::move(restored);
  }
  if (color == 0) {
    saved_image_.reset();
    colorize_ = 0;
    return;
  }
  if (!saved_image_) {
    saved_image_ = CloneOf(image_.get());
    if (!saved_image_) return;
  }
  if (auto* bits = static_cast<std::uint32_t*>(image_->LockBits())) {
    ColorizePixels(bits, std::size_t{image_->Width()} * image_->Height(), color);
    image_->UnlockBits(bits);
  }
  colorize_ = color;
}

void SSkinImgList::CopyScaledInto(ISkinObj* target, int scale) const {
  SSkinObjBase::CopyScaledInto(target, scale);
  auto* t = dynamic_cast<SSkinImgList*>(target);
  if (!t) return;
  t->states_ = states_;
  t->tile_ = tile_;
  t->vertical_ = vertical_;
  t->filter_level_ = filter_level_;
  t->auto_fit_ = auto_fit_;
  t->state_map_ = state_map_;
  SIZE cell = CellSize();
  int w = MulDivRound(cell.cx, scale, 100), h = MulDivRound(cell.cy, scale, 100);
  int total_w = vertical_ ? w : w * states_, total_h = vertical_ ? h * states_ : h;
  t->image_ = ResampleOrNull(image_.get(), total_w, total_h);
  t->saved_image_ = ResampleOrNull(saved_image_.get(), total_w, total_h);
}

// ---- frame -----------------------------------------------------------------------

HRESULT SSkinImgFrame::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"margin")) {
    auto parts = Split(value, u',');
    int v[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < 4 && i < parts.size(); ++i) {
      auto n = ReadInt(parts[i]);
      if (!n) break;
      v[i] = *n;
    }
    margins_ = {v[0], v[1], v[2], v[3]};
  } else if (EqualsNoCase(name, u"left")) {
    margins_.left = IntOr0(value);
  } else if (EqualsNoCase(name, u"top")) {
    margins_.top = IntOr0(value);
  } else if (EqualsNoCase(name, u"right")) {
    margins_.right = IntOr0(value);
  } else if (EqualsNoCase(name, u"bottom")) {
    margins_.bottom = IntOr0(value);
  } else if (EqualsNoCase(name, u"margin-x")) {
    margins_.left = margins_.right = IntOr0(value);
  } else if (EqualsNoCase(name, u"margin-y")) {
    margins_.top = margins_.bottom = IntOr0(value);
  } else if (EqualsNoCase(name, u"margin2")) {
    auto parts = Split(value, u',');
    if (parts.size() != 4) return E_INVALIDARG;
    SApplication* app = SApplication::Instance();
    int v[4];
    for (int i = 0; i < 4; ++i) {
      SLayoutSize size;
      if (app) size = app->UiDef().ResolveDimension(parts[static_cast<std::size_t>(i)]);
      else ParseDimension(parts[static_cast<std::size_t>(i)], size);
      v[i] = DimensionToPixels(size, 100);
    }
    margins_ = {v[0], v[1], v[2], v[3]};
  } else {
    return SSkinImgList::ApplyAttribute(name, value, loading);
  }
  return S_OK;
}

UINT SSkinImgFrame::ExpandMode() const {
  return (static_cast<UINT>(filter_level_) << 16) | (tile_ ? EM_TILE : EM_STRETCH);
}

void SSkinImgFrame::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  if (!image_) return;
  rt->DrawImageNineGrid(rc, image_.get(), CellSource(state), margins_, ExpandMode(), alpha);
}

void SSkinImgFrame::CopyScaledInto(ISkinObj* target, int scale) const {
  SSkinImgList::CopyScaledInto(target, scale);
  if (auto* t = dynamic_cast<SSkinImgFrame*>(target)) {
    t->margins_ = {MulDivRound(margins_.left, scale, 100), MulDivRound(margins_.top, scale, 100),
                   MulDivRound(margins_.right, scale, 100), MulDivRound(margins_.bottom, scale, 100)};
  }
}

// ---- frame with marker border ----------------------------------------------------

HRESULT SSkinImgFrame2::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (!EqualsNoCase(name, u"src")) return SSkinImgFrame::ApplyAttribute(name, value, loading);
  SAutoRefPtr<IBitmap> picture = SAutoRefPtr<IBitmap>::Adopt(LoadPicture(value));
  if (!picture) return E_FAIL;
  return UseMarkedPicture(picture.get());
}

HRESULT SSkinImgFrame2::UseMarkedPicture(IBitmap* picture) {
  int w = static_cast<int>(picture->Width()), h = static_cast<int>(picture->Height());
  if (w < 2 || h < 2) return E_INVALIDARG;
  const auto* px = static_cast<const std::uint32_t*>(picture->Bits());
  if (!px) return E_INVALIDARG;
  auto marked = [px, w](int x, int y) { return (px[static_cast<std::size_t>(y) * w + x] >> 24) != 0; };
  // One axis: unmarked run before the first marked run, and what follows that run.
  auto scan = [](int count, auto is_marked, int& before, int& after) {
    int first = -1, end = count;
    for (int i = 0; i < count; ++i) {
      if (is_marked(i)) {
        first = i;
        break;
      }
    }
    if (first < 0) {
      before = count;
      after = 0;
      return;
    }
    for (int i = first; i < count; ++i) {
      if (!is_marked(i)) {
        end = i;
        break;
      }
    }
    before = first;
    after = count - end;
  };
  int left = 0, right = 0, top = 0, bottom = 0;
  scan(w - 2, [&](int i) { return marked(1 + i, 0); }, left, right);
  scan(h - 2, [&](int i) { return marked(0, 1 + i); }, top, bottom);
  margins_ = {left, top, right, bottom};
  auto inner = MakeBitmap(picture->RenderFactoryOf());
  if (!inner) return E_OUTOFMEMORY;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w - 2) * (h - 2));
  for (int y = 1; y < h - 1; ++y)
    std::memcpy(&pixels[static_cast<std::size_t>(y - 1) * (w - 2)], px + static_cast<std::size_t>(y) * w + 1,
                static_cast<std::size_t>(w - 2) * 4);
  HRESULT hr = inner->InitBlank(w - 2, h - 2, pixels.data());
  if (FAILED(hr)) return hr;
  image_ = std::move(inner);
  saved_image_.reset();
  return S_OK;
}

// ---- image centre ----------------------------------------------------------------

void SSkinImgCenter::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  if (!image_) return;
  SIZE cell = CellSize();
  LONG left = rc.left + (rc.right - rc.left - cell.cx) / 2;
  LONG top = rc.top + (rc.bottom - rc.top - cell.cy) / 2;
  RECT dst{left, top, left + cell.cx, top + cell.cy};
  rt->DrawImageExpanded(dst, image_.get(), CellSource(state), ExpandMode(), alpha);
}

// ---- scroll bar ------------------------------------------------------------------

HRESULT SSkinScrollbar::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool loading) {
  if (EqualsNoCase(name, u"margin")) margin_ = IntOr0(value);
  else if (EqualsNoCase(name, u"hasGripper")) has_gripper_ = IntOr0(value);
  else if (EqualsNoCase(name, u"hasInactive")) has_inactive_ = IntOr0(value);
  else return SSkinImgList::ApplyAttribute(name, value, loading);
  return S_OK;
}

RECT SSkinScrollbar::PartRect(int part, int part_state, bool vertical) const {
  int side = CellSize().cx / 9;
  int column;
  switch (part) {
    case 0: column = 0; break;            // line up
    case 1: column = 1; break;            // line down
    case 2: case 3: column = 3; break;    // page up / down: the rail
    case 5: column = 2; break;            // thumb
    case 10: return {8 * side, 0, 9 * side, side};  // corner
    case 11: {                            // gripper
      int row = vertical ? 1 : 2;
      return {8 * side, row * side, 9 * side, (row + 1) * side};
    }
    default: return {0, 0, 0, 0};
  }
  if (!vertical) column += 4;
  int row = part_state;
  if (row == 4 && !has_inactive_) row = 0;
  return {column * side, row * side, (column + 1) * side, (row + 1) * side};
}

void SSkinScrollbar::PaintCell(IRenderTarget* rt, const RECT& rc, int state, BYTE alpha) {
  if (!image_) return;
  int part = state & 0xFFFF, part_state = (state >> 16) & 0xFF;
  bool vertical = (state >> 24) & 1;
  RECT src = PartRect(part, part_state, vertical);
  if (src.right <= src.left) return;
  RECT margins = vertical ? RECT{0, margin_, 0, margin_} : RECT{margin_, 0, margin_, 0};
  UINT mode = tile_ ? EM_TILE : EM_STRETCH;
  rt->DrawImageNineGrid(rc, image_.get(), src, margins, mode, alpha);
  if (part == 5 && has_gripper_) {
    RECT grip = PartRect(11, 0, vertical);
    int gw = grip.right - grip.left, gh = grip.bottom - grip.top;
    RECT dst = rc;
    if (vertical) {
      dst.top = rc.top + (rc.bottom - rc.top - gh) / 2;
      dst.bottom = dst.top + gh;
    } else {
      dst.left = rc.left + (rc.right - rc.left - gw) / 2;
      dst.right = dst.left + gw;
    }
    rt->DrawImageNineGrid(dst, image_.get(), grip, RECT{}, mode, alpha);
  }
}

void SSkinScrollbar::CopyScaledInto(ISkinObj* target, int scale) const {
  SSkinImgList::CopyScaledInto(target, scale);
  if (auto* t = dynamic_cast<SSkinScrollbar*>(target)) {
    t->margin_ = MulDivRound(margin_, scale, 100);
    t->has_gripper_ = has_gripper_;
    t->has_inactive_ = has_inactive_;
  }
}

}  // namespace LOOM
