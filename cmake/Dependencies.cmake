# spdlog, fmt and nlohmann/json come from Debian's packages. Only their own header
# folders are exposed to the cross compiler: a staged include folder of links keeps
# the host's /usr/include (and its glibc headers) out of the search path.
set(KELVRA_HOST_INCLUDE /usr/include CACHE PATH "Where Debian installs the library headers")
set(KELVRA_DEPS_INCLUDE ${CMAKE_BINARY_DIR}/deps/include)
file(MAKE_DIRECTORY ${KELVRA_DEPS_INCLUDE})
foreach(dep fmt spdlog nlohmann)
  if(NOT EXISTS ${KELVRA_HOST_INCLUDE}/${dep})
    message(FATAL_ERROR "${KELVRA_HOST_INCLUDE}/${dep} is missing: run 'make setup'")
  endif()
  file(CREATE_LINK ${KELVRA_HOST_INCLUDE}/${dep} ${KELVRA_DEPS_INCLUDE}/${dep} SYMBOLIC)
endforeach()

add_library(kelvra_third_party_headers INTERFACE)
target_include_directories(kelvra_third_party_headers SYSTEM INTERFACE ${KELVRA_DEPS_INCLUDE})
# spdlog uses the external fmt; file names are wide so that any user's path works.
# The rest keeps the exe small (see README, Budgets), with the same output:
# - fmt without std::locale: no message uses locale-specific formatting ("{:L}"),
#   and touching std::locale links all of libstdc++'s facets (about 600 KB).
# - no default stdout logger in spdlog's registry: nothing logs to it.
target_compile_definitions(kelvra_third_party_headers INTERFACE
  SPDLOG_FMT_EXTERNAL SPDLOG_WCHAR_FILENAMES FMT_STATIC_THOUSANDS_SEPARATOR=',' SPDLOG_DISABLE_DEFAULT_LOGGER)

set(KELVRA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "Debian's GoogleTest sources")
