# Shared by the cross toolchains: Windows executables from Debian's mingw-w64 (POSIX threads
# flavour) for the processor and target triple the including file sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KOVRA_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${KOVRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOVRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KOVRA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KOVRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Static zlib only: the executable must not need a zlib DLL.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${KOVRA_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "")
