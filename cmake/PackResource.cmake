# The resources that only the bootstrapper reads are stored deflated
# (resources/pack_resource.py); staging inflates them back byte for byte.
#
# kelvra_pack_resource(input output [LEVEL n]): a rule that packs input into output,
# at zlib level n (default 9; 0 stores the bytes in uncompressed blocks, which
# the benchmark's uncompressed build uses).
find_program(KELVRA_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(KELVRA_PACK_RESOURCE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../resources/pack_resource.py)

function(kelvra_pack_resource input output)
  cmake_parse_arguments(ARG "" "LEVEL" "" ${ARGN})
  if(NOT DEFINED ARG_LEVEL)
    set(ARG_LEVEL 9)
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${KELVRA_PYTHON} ${KELVRA_PACK_RESOURCE_SCRIPT} --level ${ARG_LEVEL} ${input} ${output}
    DEPENDS ${input} ${KELVRA_PACK_RESOURCE_SCRIPT}
    VERBATIM)
endfunction()
