// The window messages by which the repair worker's run reaches the main window
// (WorkerRun sends them, CMainDlg handles them), with their wParam. A text is a
// NUL-terminated UTF-16 string in the worker's buffer, valid only during the send.
#pragma once

#include "platform/base/messages.h"

namespace krdn::app {

inline constexpr UINT kNotifyProgress = WM_USER + 100;       // percent 0..100
inline constexpr UINT kNotifyAppend = WM_USER + 101;         // text for the status box
inline constexpr UINT kNotifyUnused = WM_USER + 102;         // never sent by the worker
inline constexpr UINT kNotifyRunEnded = WM_USER + 103;       // final text, or 0 for none
inline constexpr UINT kNotifyTransient = WM_USER + 104;      // transient text
inline constexpr UINT kNotifyUnstable = WM_USER + 105;       // failure text; unstable-connection dialog
inline constexpr UINT kNotifyNetworkFailed = WM_USER + 106;  // failure text; network-failure dialog
inline constexpr UINT kNotifySucceeded = WM_USER + 107;      // last status text; success dialog
inline constexpr UINT kNotifyExitProcess = WM_USER + 108;    // the window's own, after the success dialog
inline constexpr UINT kNotifyAppendWaiting = WM_USER + 109;  // the window's own: waiting status lines go in

}  // namespace krdn::app
