// The worker's notifications to the window, and the texts it sends with them.
#pragma once

#include "platform/base/messages.h"

namespace krdn {

inline constexpr UINT kNotifyProgress = WM_USER + 100;       // wParam: percent 0..100
inline constexpr UINT kNotifyAppend = WM_USER + 101;         // wParam: text for the status box
inline constexpr UINT kNotifyUnused = WM_USER + 102;         // never sent by the worker
inline constexpr UINT kNotifyRunEnded = WM_USER + 103;       // wParam: final text or 0
inline constexpr UINT kNotifyTransient = WM_USER + 104;      // wParam: transient text
inline constexpr UINT kNotifyUnstable = WM_USER + 105;       // wParam: failure text; unstable-connection dialog
inline constexpr UINT kNotifyNetworkFailed = WM_USER + 106;  // wParam: failure text; network-failure dialog
inline constexpr UINT kNotifySucceeded = WM_USER + 107;      // wParam: last status text; success dialog
inline constexpr UINT kNotifyExitProcess = WM_USER + 108;    // the window's own, after the success dialog

// Dialog end codes the window acts on.
inline constexpr LRESULT kDialogEndRun = 7;  // network-failure dialog closed with its close button (IDNO)

}  // namespace krdn
