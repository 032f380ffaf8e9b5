# How every library of ours is declared, in the cross build and in the native one.
#
# kelvra_library(name FOLDER dir SOURCES files... [DEPENDS targets...])
# One static library of the sources in dir (relative to the repository's top). Its
# headers are included as "<last part of dir>/x.h", and only by targets that link
# it: the include root is a build folder holding nothing but a link to dir, so a
# dependency that isn't declared doesn't compile. Every library links the
# options target named by KELVRA_LIBRARY_OPTIONS.
function(kelvra_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;DEPENDS" ${ARGN})
  get_filename_component(prefix ${ARG_FOLDER} NAME)
  kelvra_include_root(root ${name} ${prefix} ${KELVRA_ROOT}/${ARG_FOLDER})
  list(TRANSFORM ARG_SOURCES PREPEND ${KELVRA_ROOT}/${ARG_FOLDER}/)
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${KELVRA_LIBRARY_OPTIONS} ${ARG_DEPENDS})
endfunction()

# kelvra_include_root(out name prefix dir): sets out to library name's build
# folder, in which "<prefix>" is a link to dir. Keyed by the library, so that two
# programs may each have a "run" folder.
function(kelvra_include_root out name prefix dir)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  if(NOT EXISTS ${root}/${prefix})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${dir} ${root}/${prefix} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()
