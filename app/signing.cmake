# Signing of the build's executables. The program checks a detached Ed25519 signature
# ("<executable>.sig") against the public key compiled into it.
#
# KRDN_SIGNING_KEY names a release key (PEM, Ed25519 private key). Without one, the
# build tree makes its own key on its first build and keeps it in signing/.
set(KRDN_SIGNING_KEY "" CACHE FILEPATH "Ed25519 private key (PEM) to sign executables with; empty: a key of this build tree")
set(KRDN_SIGNING_DIR ${CMAKE_BINARY_DIR}/signing)
set(KRDN_SIGNING_KEY_HEADER ${KRDN_SIGNING_DIR}/signing_key.h)

# Windows trusts the program through its Authenticode signature (WinVerifyTrust): there
# is no key to compile in, and the build signs with a code-signing certificate only
# (cmake/KrdnAuthenticode.cmake).
if(WIN32)
  file(CONFIGURE OUTPUT ${KRDN_SIGNING_KEY_HEADER} CONTENT [[
// The Windows build checks its file's Authenticode signature; it holds no key.
#pragma once

#include "platform/shell/signature.h"

inline constexpr platform::SignaturePublicKey kProgramSigningKey{};
]])
  add_custom_target(krdn_signing_key)
  function(krdn_sign_executable target)
    krdn_authenticode_sign(${target})
  endfunction()
  return()
endif()

if(KRDN_SIGNING_KEY)
  set(KRDN_SIGNING_KEY_FILE ${KRDN_SIGNING_KEY})
else()
  set(KRDN_SIGNING_KEY_FILE ${KRDN_SIGNING_DIR}/build_key.pem)
  add_custom_command(OUTPUT ${KRDN_SIGNING_KEY_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KRDN_SIGNING_DIR}
    COMMAND krdn-sign keygen ${KRDN_SIGNING_KEY_FILE}
    DEPENDS krdn-sign
    COMMENT "Making this build tree's signing key")
endif()
add_custom_command(OUTPUT ${KRDN_SIGNING_KEY_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KRDN_SIGNING_DIR}
  COMMAND krdn-sign public-header ${KRDN_SIGNING_KEY_FILE} ${KRDN_SIGNING_KEY_HEADER}
  DEPENDS krdn-sign ${KRDN_SIGNING_KEY_FILE}
  COMMENT "Writing the public signing key")
add_custom_target(krdn_signing_key DEPENDS ${KRDN_SIGNING_KEY_HEADER})

# The key file is needed wherever executables are signed (tests/ too).
set(KRDN_SIGNING_KEY_FILE ${KRDN_SIGNING_KEY_FILE} CACHE INTERNAL "The key executables are signed with")

# Signs an executable after every link.
function(krdn_sign_executable target)
  add_dependencies(${target} krdn_signing_key)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND krdn-sign sign ${KRDN_SIGNING_KEY_FILE} $<TARGET_FILE:${target}>
    COMMENT "Signing ${target}")
endfunction()
