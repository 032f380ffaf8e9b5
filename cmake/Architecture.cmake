# What differs between the shipped 32-bit build and the 64-bit test build, in one
# place: the manifests' processor architecture and the names in the delay-import
# definitions. Everything else is the same sources and options.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(KELVRA_MANIFEST_ARCHITECTURE amd64)
  # x86_64 has no stdcall: its import names carry no "@bytes" decoration.
  set(KELVRA_UNDECORATED_IMPORTS ON)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(KELVRA_MANIFEST_ARCHITECTURE x86)
  set(KELVRA_UNDECORATED_IMPORTS OFF)
else()
  message(FATAL_ERROR "No build for processor ${CMAKE_SYSTEM_PROCESSOR}: use cmake/mingw-w64-i686.cmake "
    "or cmake/mingw-w64-x86_64.cmake")
endif()

# The manifests, with their architecture filled in. Every resource script finds
# them through windres's include path.
set(KELVRA_MANIFEST_DIR ${CMAKE_BINARY_DIR}/generated/manifests)
set(KELVRA_BOOTSTRAPPER_MANIFEST ${KELVRA_MANIFEST_DIR}/InstallerBootstrapper.manifest)
set(KELVRA_FRONTEND_MANIFEST ${KELVRA_MANIFEST_DIR}/KelvraInstaller.manifest)
configure_file(${PROJECT_SOURCE_DIR}/resources/InstallerBootstrapper.manifest.in ${KELVRA_BOOTSTRAPPER_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/frontend/KelvraInstaller.manifest.in ${KELVRA_FRONTEND_MANIFEST} @ONLY)
string(APPEND CMAKE_RC_FLAGS " -I${KELVRA_MANIFEST_DIR}")
