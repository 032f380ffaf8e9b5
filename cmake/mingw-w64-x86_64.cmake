# The test build for machines that can't run 32-bit Linux programs, and so no
# 32-bit Wine: the same sources as 64-bit Windows programs (PE32+). Never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
