// The position grammar of "pos" and the other attributes of the default layout's
// parameter.
#include <cmath>
#include <cstdlib>
#include <string>

#include "core/application.h"
#include "core/loom_layout.h"
#include "core/text_util.h"
#include "core/ui_def.h"

namespace LOOM {

namespace {

// A dimension, or a "@dim/" reference; false when the text holds no number.
bool ParseDimensionText(std::u16string_view text, SLayoutSize& out) {
  if (text.empty()) return false;
  if (text.starts_with(u"@dim/")) {
    out = ResolveLayoutDimension(text);
    return true;
  }
  if (!ReadDouble(text)) return false;
  return ParseDimension(text, out);
}

int KindOfPrefix(char16_t c) {
  switch (c) {
    case u'|': return kPosCenter;
    case u'%': return kPosPercent;
    case u'[': return kPosAfterPrev;
    case u']': return kPosBeforeNext;
    case u'{': return kPosWithPrev;
    case u'}': return kPosWithNext;
    case u'@': return kPosSize;
    default: return 0;
  }
}

bool ParseSiblingItem(std::u16string_view text, SPosItem& item) {
  static constexpr std::pair<std::u16string_view, int> kEdges[] = {
      {u"left@", kPosSibNear}, {u"top@", kPosSibNear}, {u"right@", kPosSibFar}, {u"bottom@", kPosSibFar}};
  for (const auto& [prefix, kind] : kEdges) {
    if (!text.starts_with(prefix)) continue;
    std::vector<std::u16string> parts = Split(text.substr(prefix.size()), u':');
    if (parts.size() != 2) return false;
    auto id = ReadInt(parts[0], false);
    SLayoutSize value;
    if (!id || *id == 0 || !ParseDimensionText(Trim(parts[1]), value)) return false;
    item.kind = kind;
    item.ref_id = *id;
    item.sign = value.value < 0 ? -1 : 1;
    value.value = std::fabs(value.value);
    item.value = value;
    return true;
  }
  return false;
}

// Reads "%f,%f": a number, a comma right after it, and another number.
bool ReadFloatPair(std::u16string_view text, float& a, float& b) {
  std::string ascii;
  for (char16_t c : text) {
    if (c >= 0x80) break;
    ascii.push_back(static_cast<char>(c));
  }
  const char* p = ascii.c_str();
  auto read = [&p](float& out) {
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) return false;
    out = static_cast<float>(std::clamp(v, -1e6, 1e6));
    p = end;
    return true;
  };
  if (!read(a) || *p != ',') return false;
  ++p;
  return read(b);
}

// A plain 0 (kind 1, value 0, sign +) and "-0" (kind 1, value 0, sign -).
bool IsPlainZero(const SPosItem& p) { return p.kind == kPosNormal && p.value.value == 0 && p.sign > 0; }
bool IsMinusZero(const SPosItem& p) { return p.kind == kPosNormal && p.value.value == 0 && p.sign < 0; }

SLayoutSize SizeFromItems(const SPosItem& first, const SPosItem& second) {
  if (IsPlainZero(first) && IsMinusZero(second)) return {SIZE_MATCH_PARENT, SizeUnit::px};
  if (second.kind == kPosSize) return second.sign < 0 ? SLayoutSize{SIZE_WRAP_CONTENT, SizeUnit::px} : second.value;
  return {SIZE_SPEC, SizeUnit::px};
}

}  // namespace

SLayoutSize ResolveLayoutDimension(std::u16string_view text) {
  if (SApplication* app = SApplication::Instance()) return app->UiDef().ResolveDimension(text);
  SLayoutSize size;
  ParseDimension(text, size);
  return size;
}

SLayoutSize ParseLayoutSize(std::u16string_view value) {
  if (EqualsNoCase(value, u"matchParent") || EqualsNoCase(value, u"full")) return {SIZE_MATCH_PARENT, SizeUnit::px};
  if (EqualsNoCase(value, u"wrapContent")) return {SIZE_WRAP_CONTENT, SizeUnit::px};
  return ResolveLayoutDimension(Trim(value));
}

bool ParsePosItem(std::u16string_view text, SPosItem& item) {
  if (text.empty()) return false;
  if (text.starts_with(u"sib.")) return ParseSiblingItem(text.substr(4), item);
  SPosItem parsed;
  if (int kind = KindOfPrefix(text.front())) {
    parsed.kind = kind;
    text.remove_prefix(1);
  }
  if (!text.empty() && text.front() == u'-') {
    parsed.sign = -1;
    text.remove_prefix(1);
  }
  if (!ParseDimensionText(text, parsed.value)) return false;
  item = parsed;
  return true;
}

HRESULT LoomLayoutParam::ApplyAttribute(std::u16string_view name, std::u16string_view value, bool) {
  if (EqualsNoCase(name, u"pos")) return ApplyPos(value);
  if (EqualsNoCase(name, u"offset")) return ApplyOffset(value);
  return ApplySizeAttribute(name, value);
}

HRESULT LoomLayoutParam::ApplyPos(std::u16string_view value) {
  std::vector<std::u16string> parts = Split(value, u',');
  if (parts.size() != 2 && parts.size() != 4) return E_INVALIDARG;
  SPosItem x, y;
  if (ParsePosItem(Trim(parts[0]), x) && ParsePosItem(Trim(parts[1]), y) && x.kind != kPosSize &&
      y.kind != kPosSize) {
    pos[0] = x;
    pos[2] = y;
    count = 2;
  }
  // The second pair counts only on top of a first pair.
  if (parts.size() == 4 && count >= 2 && ParsePosItem(Trim(parts[2]), x) &&
      ParsePosItem(Trim(parts[3]), y)) {
    pos[1] = x;
    pos[3] = y;
    count = 4;
  }
  if (count == 4) {
    width = SizeFromItems(pos[0], pos[1]);
    height = SizeFromItems(pos[2], pos[3]);
  } else if (count == 2) {
    if (width.value == SIZE_SPEC) width = {SIZE_WRAP_CONTENT, SizeUnit::px};
    if (height.value == SIZE_SPEC) height = {SIZE_WRAP_CONTENT, SizeUnit::px};
  }
  return S_OK;
}

HRESULT LoomLayoutParam::ApplyOffset(std::u16string_view value) {
  float x = 0, y = 0;
  if (!ReadFloatPair(value, x, y)) return E_FAIL;
  offset_x = x;
  offset_y = y;
  return S_OK;
}

void LoomLayoutParam::Clear() {
  count = 0;
  pos = {};
  offset_x = offset_y = 0;
  width = height = {SIZE_WRAP_CONTENT, SizeUnit::px};
}

}  // namespace LOOM
