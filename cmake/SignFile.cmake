# Signs FILE in place (cmake -P, called after linking): osslsigncode writes a
# temporary file beside it that replaces FILE only once signing succeeded. A
# failure removes FILE as well, so the next build links it again rather than
# keeping an unsigned file that looks up to date.
# -D OSSLSIGNCODE, FILE, CERT, KEY, DESCRIPTION, URL; optional PASSWORD_FILE, TIMESTAMP_URL.
set(temporary "${FILE}.signing")
file(REMOVE "${temporary}")
set(options -h sha256 -certs "${CERT}" -key "${KEY}" -n "${DESCRIPTION}" -i "${URL}")
if(PASSWORD_FILE)
  list(APPEND options -readpass "${PASSWORD_FILE}")
endif()
if(TIMESTAMP_URL)
  list(APPEND options -ts "${TIMESTAMP_URL}")
endif()
execute_process(COMMAND "${OSSLSIGNCODE}" sign ${options} -in "${FILE}" -out "${temporary}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  # osslsigncode creates its output with default permissions; keep the linker's.
  execute_process(COMMAND chmod --reference=${FILE} ${temporary} RESULT_VARIABLE result ERROR_VARIABLE output)
endif()
if(NOT result EQUAL 0)
  file(REMOVE "${temporary}" "${FILE}")
  message(FATAL_ERROR "Signing ${FILE} failed (${result}); it was removed:\n${output}")
endif()
file(RENAME "${temporary}" "${FILE}")
