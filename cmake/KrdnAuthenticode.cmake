# Authenticode signatures for the Windows programs players start: with a code-signing
# certificate, each program is signed right after it is linked (scripts/authenticode-sign,
# Debian's osslsigncode), so Windows names its publisher instead of warning of an
# unknown one. The key's password is never part of the build: the signing step reads it
# from the environment variable KRDN_AUTHENTICODE_PASSWORD. Linux programs are trusted
# through their detached signatures instead (app/signing.cmake).
if(NOT WIN32)
  function(krdn_authenticode_sign target)
  endfunction()
  return()
endif()

set(KRDN_AUTHENTICODE_CERT "" CACHE FILEPATH
    "Code-signing certificate: a PKCS#12 file, or a PEM certificate with KRDN_AUTHENTICODE_KEY; empty: unsigned")
set(KRDN_AUTHENTICODE_KEY "" CACHE FILEPATH "The PEM key of a PEM KRDN_AUTHENTICODE_CERT")
set(KRDN_AUTHENTICODE_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping service for releases; empty: none")

if(KRDN_AUTHENTICODE_CERT AND NOT EXISTS "${KRDN_AUTHENTICODE_CERT}")
  message(FATAL_ERROR "KRDN_AUTHENTICODE_CERT: no file at ${KRDN_AUTHENTICODE_CERT}")
endif()
if(KRDN_AUTHENTICODE_KEY AND NOT EXISTS "${KRDN_AUTHENTICODE_KEY}")
  message(FATAL_ERROR "KRDN_AUTHENTICODE_KEY: no file at ${KRDN_AUTHENTICODE_KEY}")
endif()

# Signs `target`'s executable after every link, when the build has a certificate.
function(krdn_authenticode_sign target)
  if(NOT KRDN_AUTHENTICODE_CERT)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/authenticode-sign $<TARGET_FILE:${target}> ${KRDN_AUTHENTICODE_CERT}
            "${KRDN_AUTHENTICODE_KEY}" "${KRDN_AUTHENTICODE_TIMESTAMP_URL}"
    COMMENT "Authenticode signature of ${target}"
    VERBATIM)
endfunction()
