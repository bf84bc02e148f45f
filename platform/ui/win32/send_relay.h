// The relay of cancellable cross-thread sends (platform/message_queue.h).
//
// A send that its sender may abandon cannot block inside SendMessageW, which nothing
// interrupts. Instead the message travels as a sent message of its own to a
// message-only window that every thread with windows has, the relay: the receiving
// thread delivers it wherever it delivers sent messages (its main loop, any modal
// loop, while it waits in a send of its own), never through a loop's message filters.
// The relay calls the target window's procedure on that thread, unless the send was
// abandoned before it began, and signals the sender, which waits for that signal, its
// cancellation or the end of the receiving thread with MsgWaitForMultipleObjects while
// it answers the messages sent to itself.
#pragma once

#include "platform/base/win_types.h"

namespace platform::win32 {

// Makes the calling thread's relay when it has none yet.
void EnsureSendRelay();
// The relay of the thread that owns `hwnd`, or nullptr when that thread has none.
HWND SendRelayOfWindow(HWND hwnd);

}  // namespace platform::win32
