// The Linux layer keeps no per-thread COM or OLE state.
#include "platform/shell/ole_session.h"

namespace platform {

OleSession::OleSession() = default;
OleSession::~OleSession() = default;

}  // namespace platform
