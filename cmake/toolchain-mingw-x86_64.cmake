# Cross-builds the same Dictionary.exe for 64-bit Windows (x86_64): a test vehicle for machines that
# cannot run 32-bit code, not the program that ships.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORDA_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
