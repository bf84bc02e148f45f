// How many times each window's pixels were presented through the layer: counted where
// the layer copies pixels to a window, read by the tests (platform/test_input.h).
#pragma once

#include "platform/base/win_types.h"

namespace platform::win32 {

void CountPresent(HWND hwnd);
int PresentsOf(HWND hwnd);

}  // namespace platform::win32
