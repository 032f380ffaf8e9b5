# The platform-free libraries, each source listed here once: the cross build links
# them into the programs, the native build tests them with sanitizers, the fuzz
# build fuzzes them.
#
# kelvra_portable_libraries(OPTIONS target [SUFFIX s]): defines kelvra_<name><s>
# for each, every one linking the options target. Needs kelvra_third_party_headers
# (fmt and nlohmann/json headers).
function(kelvra_portable_libraries)
  cmake_parse_arguments(ARG "" "OPTIONS;SUFFIX" "" ${ARGN})
  set(s "${ARG_SUFFIX}")
  set(KELVRA_LIBRARY_OPTIONS ${ARG_OPTIONS})

  kelvra_library(kelvra_base_text${s} FOLDER base SOURCES utf8.cpp base64.cpp json_text.cpp
    DEPENDS kelvra_third_party_headers)
  kelvra_library(kelvra_token_format${s} FOLDER src/token SOURCES token_trailer.cpp token_payload.cpp
    DEPENDS kelvra_base_text${s})
  kelvra_library(kelvra_remoteconfig_document${s} FOLDER src/remoteconfig SOURCES remote_config_document.cpp
    DEPENDS kelvra_third_party_headers)
  kelvra_library(kelvra_registry_text${s} FOLDER src/system SOURCES registry_text.cpp)
  kelvra_library(kelvra_launch_parameters${s} FOLDER src/handoff SOURCES launch_parameters.cpp)
  kelvra_library(kelvra_icon_layout${s} FOLDER src/staging SOURCES icon_layout.cpp)
  kelvra_library(kelvra_message_language${s} FOLDER src/notices SOURCES message_language.cpp)
  kelvra_library(kelvra_frontend_core${s} FOLDER frontend/core
    SOURCES composite_format.cpp culture.cpp download_statistics.cpp event_body.cpp failure_page.cpp
            problem_report.cpp remote_config_record.cpp setup_command_line.cpp setup_digests.cpp stall_rule.cpp
            text_encoding.cpp download_resume.cpp
    DEPENDS kelvra_base_text${s})
  if(NOT CMAKE_CROSSCOMPILING)
    # The stamping tool runs on Linux only.
    kelvra_library(kelvra_stamping${s} FOLDER tools/stamp SOURCES stamping.cpp pe_image.cpp certificate_table.cpp
      DEPENDS kelvra_token_format${s})
  endif()
endfunction()
