# Compile and link options shared by every target of ours.
add_library(kelvra_options INTERFACE)
target_compile_options(kelvra_options INTERFACE -Wall -Wextra $<$<BOOL:${KELVRA_WERROR}>:-Werror>)
target_compile_definitions(kelvra_options INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
# A bare Windows has no MinGW runtime DLLs: link everything in. Release builds
# optimise for size and drop unused sections and symbols: the exe is a download,
# and its time goes to file and network work, not to our code. (-Os follows
# CMake's -O3 and so wins. LTO is not used: GCC 12 for MinGW fails on spdlog with
# it, and LTO objects mixed with others clash over COMDAT sections at link time.)
target_compile_options(kelvra_options INTERFACE $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)
target_link_options(kelvra_options INTERFACE -static -static-libgcc -static-libstdc++
  $<$<CONFIG:Release>:-Wl,--gc-sections -s>)
# Reproducible programs: the linker would write the link time into the PE header,
# the only bytes that differ between two builds of one commit. Without it the
# header's time stamp is 0 (nothing of Windows' reads it: we bind no imports).
target_link_options(kelvra_options INTERFACE -Wl,--no-insert-timestamp)
set(KELVRA_LIBRARY_OPTIONS kelvra_options)
