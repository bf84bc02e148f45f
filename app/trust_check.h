// Trust of the program's own file: its detached signature is checked against the
// public key compiled into the program. When that fails the user is asked whether to
// go on anyway.
#pragma once

#include <string>

#include "platform/shell/signature.h"

namespace krdn::app {

// The build's signing key (public half).
const platform::SignaturePublicKey& ProgramSigningKey();

// True when the file is trusted, or the user answers Yes to the question; false when
// the program must end (No, or the box closed).
bool TrustOwnExecutable(const std::u16string& executable_path);

}  // namespace krdn::app
