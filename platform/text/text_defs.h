// The text engine's vocabulary, with the platform's names and values: edit messages
// and their records, notifications and event-mask bits, edit style bits, character and
// paragraph formats, stream formats and the property bits of the host contract.
#pragma once

#include <cstddef>

#include "platform/base/messages.h"
#include "platform/base/win_types.h"

#ifdef _WIN32
#include <richedit.h>
#include <textserv.h>
// The code page of UTF-16 text (little-endian), as rich text services name it.
inline constexpr UINT CP_UTF16LE = 1200;
#else
// ---------------------------------------------------------------------------
// Edit style bits (the style word of an edit box).
inline constexpr DWORD ES_LEFT = 0x0000;
inline constexpr DWORD ES_CENTER = 0x0001;
inline constexpr DWORD ES_RIGHT = 0x0002;
inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_PASSWORD = 0x0020;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_NOHIDESEL = 0x0100;
inline constexpr DWORD ES_READONLY = 0x0800;
inline constexpr DWORD ES_WANTRETURN = 0x1000;
inline constexpr DWORD ES_NUMBER = 0x2000;
// The rich-edit meaning of 0x2000 in TxGetScrollBars: bars shown disabled, not hidden.
inline constexpr DWORD ES_DISABLENOSCROLL = 0x2000;

// ---------------------------------------------------------------------------
// Edit messages.
inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_GETRECT = 0x00B2;
inline constexpr UINT EM_SCROLL = 0x00B5;
inline constexpr UINT EM_LINESCROLL = 0x00B6;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_GETMODIFY = 0x00B8;
inline constexpr UINT EM_SETMODIFY = 0x00B9;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_LINEINDEX = 0x00BB;
inline constexpr UINT EM_LINELENGTH = 0x00C1;
inline constexpr UINT EM_REPLACESEL = 0x00C2;
inline constexpr UINT EM_GETLINE = 0x00C4;
inline constexpr UINT EM_LIMITTEXT = 0x00C5;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_LINEFROMCHAR = 0x00C9;
inline constexpr UINT EM_EMPTYUNDOBUFFER = 0x00CD;
inline constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
inline constexpr UINT EM_SETREADONLY = 0x00CF;
inline constexpr UINT EM_GETLIMITTEXT = 0x00D5;
inline constexpr UINT EM_POSFROMCHAR = 0x00D6;
inline constexpr UINT EM_CHARFROMPOS = 0x00D7;

inline constexpr UINT EM_CANPASTE = WM_USER + 50;
inline constexpr UINT EM_EXGETSEL = WM_USER + 52;
inline constexpr UINT EM_EXLIMITTEXT = WM_USER + 53;
inline constexpr UINT EM_EXLINEFROMCHAR = WM_USER + 54;
inline constexpr UINT EM_EXSETSEL = WM_USER + 55;
inline constexpr UINT EM_GETCHARFORMAT = WM_USER + 58;
inline constexpr UINT EM_GETEVENTMASK = WM_USER + 59;
inline constexpr UINT EM_GETPARAFORMAT = WM_USER + 61;
inline constexpr UINT EM_GETSELTEXT = WM_USER + 62;
inline constexpr UINT EM_HIDESELECTION = WM_USER + 63;
inline constexpr UINT EM_SETCHARFORMAT = WM_USER + 68;
inline constexpr UINT EM_SETEVENTMASK = WM_USER + 69;
inline constexpr UINT EM_SETPARAFORMAT = WM_USER + 71;
inline constexpr UINT EM_STREAMIN = WM_USER + 73;
inline constexpr UINT EM_STREAMOUT = WM_USER + 74;
inline constexpr UINT EM_GETTEXTRANGE = WM_USER + 75;
inline constexpr UINT EM_SETUNDOLIMIT = WM_USER + 82;
inline constexpr UINT EM_GETTEXTLENGTHEX = WM_USER + 95;
inline constexpr UINT EM_REDO = WM_USER + 84;
inline constexpr UINT EM_CANREDO = WM_USER + 85;
inline constexpr UINT EM_SETLANGOPTIONS = WM_USER + 120;
inline constexpr UINT EM_GETLANGOPTIONS = WM_USER + 121;
inline constexpr UINT EM_GETSCROLLPOS = WM_USER + 221;
inline constexpr UINT EM_SETSCROLLPOS = WM_USER + 222;

// ---------------------------------------------------------------------------
// Notifications (TxNotify codes) and the event-mask bits that enable them. EN_MAXTEXT
// and EN_ERRSPACE are always sent.
inline constexpr UINT EN_SETFOCUS = 0x0100;
inline constexpr UINT EN_KILLFOCUS = 0x0200;
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr UINT EN_UPDATE = 0x0400;
inline constexpr UINT EN_ERRSPACE = 0x0500;
inline constexpr UINT EN_MAXTEXT = 0x0501;
inline constexpr UINT EN_HSCROLL = 0x0601;
inline constexpr UINT EN_VSCROLL = 0x0602;
inline constexpr UINT EN_SELCHANGE = 0x0702;

inline constexpr DWORD ENM_NONE = 0;
inline constexpr DWORD ENM_CHANGE = 0x00000001;
inline constexpr DWORD ENM_UPDATE = 0x00000002;
inline constexpr DWORD ENM_SCROLL = 0x00000004;
inline constexpr DWORD ENM_SELCHANGE = 0x00080000;

// EN_SELCHANGE's data.
inline constexpr WORD SEL_EMPTY = 0x0000;
inline constexpr WORD SEL_TEXT = 0x0001;
inline constexpr WORD SEL_MULTICHAR = 0x0004;

// ---------------------------------------------------------------------------
// Records.
struct CHARRANGE {
  LONG cpMin = 0;
  LONG cpMax = 0;
};

struct TEXTRANGEW {
  CHARRANGE chrg;
  char16_t* lpstrText = nullptr;  // at least cpMax - cpMin + 1 characters
};

// EM_GETTEXTLENGTHEX: by default a line break counts one; GTL_USECRLF counts it two.
inline constexpr DWORD GTL_DEFAULT = 0;
inline constexpr DWORD GTL_USECRLF = 1;
inline constexpr DWORD GTL_PRECISE = 2;
inline constexpr DWORD GTL_NUMCHARS = 8;
struct GETTEXTLENGTHEX {
  DWORD flags = GTL_DEFAULT;
  UINT codepage = 1200;
};

struct SELCHANGE {
  NMHDR nmhdr;
  CHARRANGE chrg;
  WORD seltyp = 0;
};

// The platform's character format (CHARFORMAT2W, 116 bytes) and its first part
// (CHARFORMATW). A record is recognised by cbSize.
inline constexpr int LF_FACESIZE = 32;
struct CHARFORMATW {
  UINT cbSize = 0;
  DWORD dwMask = 0;
  DWORD dwEffects = 0;
  LONG yHeight = 0;  // twips
  LONG yOffset = 0;
  COLORREF crTextColor = 0;
  BYTE bCharSet = 0;
  BYTE bPitchAndFamily = 0;
  WCHAR szFaceName[LF_FACESIZE]{};
};

struct CHARFORMAT2W {
  UINT cbSize = 0;
  DWORD dwMask = 0;
  DWORD dwEffects = 0;
  LONG yHeight = 0;
  LONG yOffset = 0;
  COLORREF crTextColor = 0;
  BYTE bCharSet = 0;
  BYTE bPitchAndFamily = 0;
  WCHAR szFaceName[LF_FACESIZE]{};
  WORD wWeight = 0;
  short sSpacing = 0;
  COLORREF crBackColor = 0;
  DWORD lcid = 0;
  DWORD dwReserved = 0;
  short sStyle = 0;
  WORD wKerning = 0;
  BYTE bUnderlineType = 0;
  BYTE bAnimation = 0;
  BYTE bRevAuthor = 0;
  BYTE bUnderlineColor = 0;
};
static_assert(sizeof(CHARFORMATW) == 92);
static_assert(sizeof(CHARFORMAT2W) == 116);

inline constexpr int MAX_TAB_STOPS = 32;
struct PARAFORMAT {
  UINT cbSize = 0;
  DWORD dwMask = 0;
  WORD wNumbering = 0;
  WORD wEffects = 0;
  LONG dxStartIndent = 0;
  LONG dxRightIndent = 0;
  LONG dxOffset = 0;
  WORD wAlignment = 0;
  short cTabCount = 0;
  LONG rgxTabs[MAX_TAB_STOPS]{};
};

struct PARAFORMAT2 {
  UINT cbSize = 0;
  DWORD dwMask = 0;
  WORD wNumbering = 0;
  WORD wEffects = 0;
  LONG dxStartIndent = 0;
  LONG dxRightIndent = 0;
  LONG dxOffset = 0;
  WORD wAlignment = 0;
  short cTabCount = 0;
  LONG rgxTabs[MAX_TAB_STOPS]{};
  LONG dySpaceBefore = 0;
  LONG dySpaceAfter = 0;
  LONG dyLineSpacing = 0;
  short sStyle = 0;
  BYTE bLineSpacingRule = 0;
  BYTE bOutlineLevel = 0;
  WORD wShadingWeight = 0;
  WORD wShadingStyle = 0;
  WORD wNumberingStart = 0;
  WORD wNumberingStyle = 0;
  WORD wNumberingTab = 0;
  WORD wBorderSpace = 0;
  WORD wBorderWidth = 0;
  WORD wBorders = 0;
};
static_assert(sizeof(PARAFORMAT) == 156);
static_assert(sizeof(PARAFORMAT2) == 188);

// Character format mask and effect bits.
inline constexpr DWORD CFM_BOLD = 0x00000001;
inline constexpr DWORD CFM_ITALIC = 0x00000002;
inline constexpr DWORD CFM_UNDERLINE = 0x00000004;
inline constexpr DWORD CFM_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFM_WEIGHT = 0x00400000;
inline constexpr DWORD CFM_CHARSET = 0x08000000;
inline constexpr DWORD CFM_OFFSET = 0x10000000;
inline constexpr DWORD CFM_FACE = 0x20000000;
inline constexpr DWORD CFM_COLOR = 0x40000000;
inline constexpr DWORD CFM_SIZE = 0x80000000;
inline constexpr DWORD CFE_BOLD = 0x00000001;
inline constexpr DWORD CFE_ITALIC = 0x00000002;
inline constexpr DWORD CFE_UNDERLINE = 0x00000004;
inline constexpr DWORD CFE_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFE_AUTOCOLOR = 0x40000000;

// EM_SETCHARFORMAT scopes.
inline constexpr WPARAM SCF_DEFAULT = 0x0000;
inline constexpr WPARAM SCF_SELECTION = 0x0001;
inline constexpr WPARAM SCF_WORD = 0x0002;
inline constexpr WPARAM SCF_ALL = 0x0004;

// Paragraph format mask bits and alignments.
inline constexpr DWORD PFM_STARTINDENT = 0x00000001;
inline constexpr DWORD PFM_RIGHTINDENT = 0x00000002;
inline constexpr DWORD PFM_OFFSET = 0x00000004;
inline constexpr DWORD PFM_ALIGNMENT = 0x00000008;
inline constexpr DWORD PFM_TABSTOPS = 0x00000010;
inline constexpr DWORD PFM_NUMBERING = 0x00000020;
inline constexpr DWORD PFM_RTLPARA = 0x00010000;
inline constexpr DWORD PFM_OFFSETINDENT = 0x80000000;
inline constexpr WORD PFA_LEFT = 1;
inline constexpr WORD PFA_RIGHT = 2;
inline constexpr WORD PFA_CENTER = 3;
inline constexpr WORD PFA_JUSTIFY = 4;

// ---------------------------------------------------------------------------
// Streaming (EM_STREAMIN, EM_STREAMOUT). The callback moves at most `cb` bytes and
// reports how many in `*pcb`; a non-zero answer stops the stream (and lands in dwError).
using EDITSTREAMCALLBACK = DWORD (*)(ULONG_PTR cookie, BYTE* buffer, LONG cb, LONG* pcb);
struct EDITSTREAM {
  ULONG_PTR dwCookie = 0;
  DWORD dwError = 0;
  EDITSTREAMCALLBACK pfnCallback = nullptr;
};
inline constexpr WPARAM SF_TEXT = 0x0001;
inline constexpr WPARAM SF_RTF = 0x0002;
inline constexpr WPARAM SF_UNICODE = 0x0010;
inline constexpr WPARAM SF_USECODEPAGE = 0x0020;
inline constexpr WPARAM SFF_SELECTION = 0x8000;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr UINT CP_UTF16LE = 1200;

// ---------------------------------------------------------------------------
// The host contract: property bits (TxGetPropertyBits, OnTxPropertyBitsChange).
inline constexpr DWORD TXTBIT_RICHTEXT = 0x00000001;
inline constexpr DWORD TXTBIT_MULTILINE = 0x00000002;
inline constexpr DWORD TXTBIT_READONLY = 0x00000004;
inline constexpr DWORD TXTBIT_SHOWACCELERATOR = 0x00000008;
inline constexpr DWORD TXTBIT_USEPASSWORD = 0x00000010;
inline constexpr DWORD TXTBIT_HIDESELECTION = 0x00000020;
inline constexpr DWORD TXTBIT_SAVESELECTION = 0x00000040;
inline constexpr DWORD TXTBIT_AUTOWORDSEL = 0x00000080;
inline constexpr DWORD TXTBIT_VERTICAL = 0x00000100;
inline constexpr DWORD TXTBIT_SELBARCHANGE = 0x00000200;
inline constexpr DWORD TXTBIT_WORDWRAP = 0x00000400;
inline constexpr DWORD TXTBIT_ALLOWBEEP = 0x00000800;
inline constexpr DWORD TXTBIT_DISABLEDRAG = 0x00001000;
inline constexpr DWORD TXTBIT_VIEWINSETCHANGE = 0x00002000;
inline constexpr DWORD TXTBIT_BACKSTYLECHANGE = 0x00004000;
inline constexpr DWORD TXTBIT_MAXLENGTHCHANGE = 0x00008000;
inline constexpr DWORD TXTBIT_SCROLLBARCHANGE = 0x00010000;
inline constexpr DWORD TXTBIT_CHARFORMATCHANGE = 0x00020000;
inline constexpr DWORD TXTBIT_PARAFORMATCHANGE = 0x00040000;
inline constexpr DWORD TXTBIT_EXTENTCHANGE = 0x00080000;
inline constexpr DWORD TXTBIT_CLIENTRECTCHANGE = 0x00100000;

enum TXTBACKSTYLE : int { TXTBACK_TRANSPARENT = 0, TXTBACK_OPAQUE = 1 };

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr LONG TXTVIEW_ACTIVE = 0;
inline constexpr LONG TXTVIEW_INACTIVE = -1;

// TxQueryHitPoint answers.
inline constexpr DWORD HITRESULT_OUTSIDE = 0;
inline constexpr DWORD HITRESULT_HIT = 3;

// Language options (EM_SETLANGOPTIONS); the engine keeps them without acting on them.
inline constexpr DWORD IMF_AUTOKEYBOARD = 0x0001;
inline constexpr DWORD IMF_AUTOFONT = 0x0002;
inline constexpr DWORD IMF_DUALFONT = 0x0080;
#endif  // _WIN32

namespace platform {

// WM_HSCROLL and WM_VSCROLL carry the thumb position in the high 16 bits of wParam.
// Content taller than 65,535 pixels needs more: the engine reads a full 32-bit signed
// position from bits 16-47 of the (64-bit) wParam, whose low 16 of those bits are
// exactly the platform's 16-bit field.
constexpr WPARAM MakeScrollWParam(UINT code, LONG position) {
  return static_cast<WPARAM>(code & 0xFFFF) |
         (static_cast<WPARAM>(static_cast<std::uint32_t>(position)) << 16);
}
constexpr UINT ScrollCodeOf(WPARAM wp) { return static_cast<UINT>(wp & 0xFFFF); }
constexpr LONG ScrollPositionOf(WPARAM wp) {
  if constexpr (sizeof(WPARAM) >= 8) {
    return static_cast<LONG>(static_cast<std::uint32_t>((wp >> 16) & 0xFFFFFFFFu));
  } else {
    return static_cast<LONG>(static_cast<short>(HIWORD(wp)));
  }
}

}  // namespace platform
