# Delay-import libraries: a program linked with one loads the DLL when it first
# calls one of its functions (mingw-w64's __delayLoadHelper2), not at start-up.
# Windows loads a program's imports from the program's own folder first, before any
# of its code runs; delay-loaded, they come after the start-up call that keeps the
# search to System32 (base/dll_search.h). Each .def in cmake/delay_imports
# lists the functions we call; one that is missing there fails the link.
# Only for headers that declare their functions without dllimport (winhttp.h,
# bcrypt.h, urlmon.h, wintrust.h): GNU ld drops the loading stub of a function
# that the code calls only through its __imp_ pointer, which then stays null
# (commctrl.h's InitCommonControlsEx, wincrypt.h's crypt32 functions, say). Such
# a function is looked up with GetProcAddress.
find_program(KELVRA_DLLTOOL ${MINGW_PREFIX}-dlltool REQUIRED)

# kelvra_delay_import(name): the target kelvra_delay_<name>, to link instead of <name>.
function(kelvra_delay_import name)
  set(def ${PROJECT_SOURCE_DIR}/cmake/delay_imports/${name}.def)
  if(KELVRA_UNDECORATED_IMPORTS)
    # The .def names the 32-bit stdcall symbols ("WinHttpOpen@20"); 64-bit ones are bare.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
    file(READ ${def} definitions)
    string(REGEX REPLACE "@[0-9]+" "" definitions "${definitions}")
    set(def ${CMAKE_BINARY_DIR}/delay_imports/${name}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "${definitions}")
  endif()
  set(library ${CMAKE_BINARY_DIR}/delay_imports/lib${name}_delay.a)
  add_custom_command(OUTPUT ${library}
    COMMAND ${KELVRA_DLLTOOL} --input-def ${def} --output-delaylib ${library} --dllname ${name}.dll
    DEPENDS ${def}
    COMMENT "Generating the delay-import library of ${name}.dll"
    VERBATIM)
  add_custom_target(kelvra_delay_${name}_library DEPENDS ${library})
  add_library(kelvra_delay_${name} INTERFACE)
  target_link_libraries(kelvra_delay_${name} INTERFACE ${library})
  add_dependencies(kelvra_delay_${name} kelvra_delay_${name}_library)
endfunction()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay_imports)
kelvra_delay_import(urlmon)
kelvra_delay_import(winhttp)
kelvra_delay_import(bcrypt)
kelvra_delay_import(wintrust)
