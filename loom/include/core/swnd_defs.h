// Shared names of the element tree: handles, state bits, own flags, relation codes,
// the toolkit's private messages and the packing of element timer ids.
#pragma once

#include <cstdint>

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

namespace LOOM {

// Element handle: never reused in a process; 0 is no element.
using SWND = std::uint32_t;

// Effective state bits, which skins and styles follow.
enum WndState : DWORD {
  WndState_Normal = 0,
  WndState_Hover = 1,
  WndState_PushDown = 2,
  WndState_Check = 4,
  WndState_Invisible = 8,
  WndState_Disable = 16,
};

// Paint state index: 3 disabled, 2 pushed or checked, 1 hover, 0 otherwise.
constexpr int PaintStateIndex(DWORD state) {
  if (state & WndState_Disable) return 3;
  if (state & (WndState_PushDown | WndState_Check)) return 2;
  if (state & WndState_Hover) return 1;
  return 0;
}

// Own flags: the element's own requests and switches.
enum OwnFlag : DWORD {
  kOwnVisible = 0x001,
  kOwnDisabled = 0x002,
  kOwnDisplay = 0x004,
  kOwnClipClient = 0x008,
  kOwnMsgTransparent = 0x010,
  kOwnFocusable = 0x020,
  kOwnDrawFocusRect = 0x040,
  kOwnCache = 0x080,
  kOwnCacheDirty = 0x100,
  kOwnLayered = 0x200,
};
inline constexpr DWORD kOwnFlagsDefault = 0x145;

// Codes of RelatedElement.
enum RelatedCode : int {
  GSW_FIRSTCHILD = 0,
  GSW_LASTCHILD = 1,
  GSW_PREVSIBLING = 2,
  GSW_NEXTSIBLING = 3,
  GSW_PARENT = 4,
  GSW_OWNER = 5,
};

// Layout-dirty marks.
enum LayoutDirty : int { kLayoutClean = 0, kLayoutDirty = 1, kLayoutChildDirty = 2 };

// Reason codes of the show and enable messages.
inline constexpr LPARAM kReasonOwn = 0;
inline constexpr LPARAM kReasonParent = 1;

// Private messages of the toolkit.
inline constexpr UINT UM_SETSCALE = 2024;
inline constexpr UINT UM_SETLANGUAGE = 2025;
inline constexpr UINT UM_SETCOLORIZE = 2026;
inline constexpr UINT UM_THREADTIMER = 6456;
inline constexpr UINT UM_UPDATESWND = 11124;
inline constexpr UINT UM_SCRIPTTIMER = 11225;
inline constexpr UINT UM_MENUEVENT = 11226;

// The standard arrow cursor id.
inline constexpr int kIdcArrow = 32512;

// Element timer ids on the host: bit 31, the element's timer id (0-127) in bits 24-30,
// the low 24 bits of the element's handle in bits 0-23.
inline constexpr UINT kMaxElementTimerId = 127;
constexpr UINT_PTR MakeElementTimerId(SWND swnd, UINT timer_id) {
  return static_cast<UINT_PTR>(0x80000000u | ((timer_id & 0x7Fu) << 24) | (swnd & 0x00FFFFFFu));
}
constexpr bool IsElementTimerId(UINT_PTR id) { return (id & 0x80000000u) != 0 && id <= 0xFFFFFFFFu; }
constexpr SWND ElementTimerHandle(UINT_PTR id) { return static_cast<SWND>(id & 0x00FFFFFFu); }
constexpr UINT ElementTimerOwnId(UINT_PTR id) { return static_cast<UINT>((id >> 24) & 0x7Fu); }

// Key-wants code bits (answers of KeyWants). The focus manager reads only SC_WANTTAB.
inline constexpr UINT SC_WANTARROWS = 0x0001;
inline constexpr UINT SC_WANTTAB = 0x0002;
inline constexpr UINT SC_WANTRETURN = 0x0004;
inline constexpr UINT SC_WANTCHARS = 0x0008;
inline constexpr UINT SC_WANTALLKEYS = 0xFFFF;
inline constexpr UINT SC_WANTSYSKEY = 0x80000000;

}  // namespace LOOM
