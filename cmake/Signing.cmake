# Authenticode signing (SHA-256, osslsigncode) of the front end, its string DLLs
# and the bootstrapper. Without a release certificate the build makes a throw-away
# one once, so that every build, CI included, signs and checks its signatures.
set(KELVRA_SIGNING_CERT "" CACHE FILEPATH
  "PEM certificate to sign with, optionally followed by its intermediates; empty: a generated test certificate")
set(KELVRA_SIGNING_KEY "" CACHE FILEPATH "PEM private key of KELVRA_SIGNING_CERT")
set(KELVRA_SIGNING_PASSWORD_FILE "" CACHE FILEPATH "File holding the passphrase of an encrypted KELVRA_SIGNING_KEY")
set(KELVRA_SIGNING_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamp server to countersign with; empty: none")
set(KELVRA_SIGNING_CA_FILE "" CACHE FILEPATH
  "PEM certificates that the signature test trusts; empty: the test certificate, or Debian's CA bundle")

find_program(KELVRA_OSSLSIGNCODE osslsigncode REQUIRED)

if((KELVRA_SIGNING_CERT STREQUAL "") AND (KELVRA_SIGNING_KEY STREQUAL ""))
  # Made at configure time and kept: a new key on every build would re-sign
  # everything for nothing.
  set(folder ${CMAKE_BINARY_DIR}/signing)
  set(KELVRA_SIGNING_CERT_IN_USE ${folder}/test-signing-certificate.pem)
  set(KELVRA_SIGNING_KEY_IN_USE ${folder}/test-signing-key.pem)
  if(NOT EXISTS ${KELVRA_SIGNING_CERT_IN_USE} OR NOT EXISTS ${KELVRA_SIGNING_KEY_IN_USE})
    find_program(KELVRA_OPENSSL openssl REQUIRED)
    file(MAKE_DIRECTORY ${folder})
    execute_process(
      COMMAND ${KELVRA_OPENSSL} req -x509 -newkey rsa:3072 -sha256 -nodes -days 3650
              -subj "/CN=Kelvra test signing (not trusted)/O=ZAVsoft build"
              -addext "basicConstraints=critical,CA:FALSE"
              -addext "keyUsage=critical,digitalSignature"
              -addext "extendedKeyUsage=codeSigning"
              -keyout ${folder}/key.tmp -out ${folder}/certificate.tmp
      RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "openssl could not make the test signing certificate:\n${output}")
    endif()
    file(RENAME ${folder}/key.tmp ${KELVRA_SIGNING_KEY_IN_USE})
    file(RENAME ${folder}/certificate.tmp ${KELVRA_SIGNING_CERT_IN_USE})
    message(STATUS "Signing with a new throw-away test certificate: ${KELVRA_SIGNING_CERT_IN_USE}")
  endif()
  set(default_ca_file ${KELVRA_SIGNING_CERT_IN_USE})
else()
  foreach(setting KELVRA_SIGNING_CERT KELVRA_SIGNING_KEY)
    if(NOT EXISTS "${${setting}}")
      message(FATAL_ERROR "${setting} must name a PEM file when the other signing setting is given "
                          "(now: \"${${setting}}\")")
    endif()
  endforeach()
  set(KELVRA_SIGNING_CERT_IN_USE ${KELVRA_SIGNING_CERT})
  set(KELVRA_SIGNING_KEY_IN_USE ${KELVRA_SIGNING_KEY})
  set(default_ca_file /etc/ssl/certs/ca-certificates.crt)
endif()
if(KELVRA_SIGNING_CA_FILE STREQUAL "")
  set(KELVRA_SIGNING_CA_FILE_IN_USE ${default_ca_file})
else()
  set(KELVRA_SIGNING_CA_FILE_IN_USE ${KELVRA_SIGNING_CA_FILE})
endif()

# kelvra_sign_target(targets...): signs each target's file in place right after
# it is linked, so that whatever embeds or ships it takes the signed file. A new
# certificate or key links (and so signs) again.
function(kelvra_sign_target)
  foreach(target ${ARGN})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${KELVRA_OSSLSIGNCODE} -DFILE=$<TARGET_FILE:${target}>
              -DCERT=${KELVRA_SIGNING_CERT_IN_USE} -DKEY=${KELVRA_SIGNING_KEY_IN_USE}
              -DPASSWORD_FILE=${KELVRA_SIGNING_PASSWORD_FILE} -DTIMESTAMP_URL=${KELVRA_SIGNING_TIMESTAMP_URL}
              "-DDESCRIPTION=ZAV Kelvra web installer" -DURL=${KELVRA_SUPPORT_SITE}
              -P ${PROJECT_SOURCE_DIR}/cmake/SignFile.cmake
      COMMENT "Signing ${target}"
      VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
      ${KELVRA_SIGNING_CERT_IN_USE} ${KELVRA_SIGNING_KEY_IN_USE})
  endforeach()
endfunction()
