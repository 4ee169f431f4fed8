# What both Windows cross-builds share; the toolchain file that includes this names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the core shares the clipboard between threads with std::mutex.
set(CMAKE_C_COMPILER ${VORDA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORDA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORDA_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VORDA_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump for the Windows binaries")

set(CMAKE_FIND_ROOT_PATH /usr/${VORDA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Each function and datum in its own section, so that the linker can drop what the program never
# calls (Dictionary.exe links the C++ runtime statically).
set(CMAKE_C_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
