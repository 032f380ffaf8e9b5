# The platform-free libraries, each source listed here once: the cross build links
# them into the programs, the native build tests them with sanitizers, the fuzz
# build fuzzes them.
#
# zlib's inflate for the packed resources. The cross build links the archive of
# Debian's libz-mingw-w64-dev by its name: a bare -lz would take the import library
# of zlib1.dll, which a bare Windows doesn't have. The native build takes the host's.
if(NOT TARGET kelvra_zlib)
  add_library(kelvra_zlib INTERFACE)
  if(CMAKE_CROSSCOMPILING)
    find_library(KELVRA_ZLIB_ARCHIVE NAMES libz.a)
    if(NOT KELVRA_ZLIB_ARCHIVE)
      message(FATAL_ERROR "the MinGW-w64 zlib (libz.a) is missing: run 'make setup'")
    endif()
    target_link_libraries(kelvra_zlib INTERFACE ${KELVRA_ZLIB_ARCHIVE})
  else()
    find_package(ZLIB REQUIRED)
    target_link_libraries(kelvra_zlib INTERFACE ZLIB::ZLIB)
  endif()
endif()

# kelvra_portable_libraries(OPTIONS target [SUFFIX s]): defines kelvra_<name><s>
# for each, every one linking the options target. Needs kelvra_third_party_headers
# (fmt and nlohmann/json headers).
function(kelvra_portable_libraries)
  cmake_parse_arguments(ARG "" "OPTIONS;SUFFIX" "" ${ARGN})
  set(s "${ARG_SUFFIX}")
  set(KELVRA_LIBRARY_OPTIONS ${ARG_OPTIONS})

  kelvra_library(kelvra_base_text${s} FOLDER base SOURCES utf8.cpp base64.cpp json_text.cpp login_parameters.cpp
    DEPENDS kelvra_third_party_headers)
  # What the programs and the stamping tool agree on: the token's formats, the
  # hand-off files, the configuration service, the documents' limits, the log's place.
  kelvra_library(kelvra_contract${s} FOLDER contract SOURCES token_trailer.cpp token_payload.cpp
    DEPENDS kelvra_base_text${s})
  kelvra_library(kelvra_zone_identifier${s} FOLDER src/token SOURCES zone_identifier.cpp)
  kelvra_library(kelvra_remoteconfig_document${s} FOLDER src/remoteconfig SOURCES remote_config_document.cpp
    DEPENDS kelvra_third_party_headers)
  kelvra_library(kelvra_registry_text${s} FOLDER src/system SOURCES registry_text.cpp)
  kelvra_library(kelvra_launch_parameters${s} FOLDER src/handoff SOURCES launch_parameters.cpp)
  kelvra_library(kelvra_icon_layout${s} FOLDER src/staging SOURCES icon_layout.cpp)
  kelvra_library(kelvra_packed_resource${s} FOLDER src/staging SOURCES packed_resource.cpp DEPENDS kelvra_zlib)
  kelvra_library(kelvra_message_language${s} FOLDER src/notices SOURCES message_language.cpp)
  kelvra_library(kelvra_frontend_core${s} FOLDER frontend/core
    SOURCES composite_format.cpp culture.cpp download_statistics.cpp event_body.cpp failure_page.cpp
            problem_report.cpp proxy_route.cpp remote_config_record.cpp setup_command_line.cpp setup_digests.cpp
            setup_publisher.cpp
            stall_rule.cpp text_encoding.cpp download_resume.cpp
    DEPENDS kelvra_contract${s} kelvra_base_text${s})
  if(NOT CMAKE_CROSSCOMPILING)
    # The stamping tool runs on Linux only.
    kelvra_library(kelvra_stamping${s} FOLDER tools/stamp SOURCES stamping.cpp pe_image.cpp certificate_table.cpp
      DEPENDS kelvra_contract${s})
  endif()
endfunction()
