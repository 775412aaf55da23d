# Cross build for 64-bit Windows with Debian's mingw-w64 (used to compile-check the Windows sources on Linux).
# Another prefix, such as i686-w64-mingw32 for 32-bit Windows, can be given with -DMINGW_PREFIX=...
set(CMAKE_SYSTEM_NAME Windows)
if(NOT MINGW_PREFIX)
    set(MINGW_PREFIX x86_64-w64-mingw32)
endif()
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
