#include "platform/shell/ole_session.h"

#include <windows.h>
#include <ole2.h>

namespace platform {

// Uninitialised only when this object's call succeeded, so that a thread that had OLE
// already keeps it.
OleSession::OleSession() : initialised_(SUCCEEDED(::OleInitialize(nullptr))) {}

OleSession::~OleSession() {
  if (initialised_) ::OleUninitialize();
}

}  // namespace platform
