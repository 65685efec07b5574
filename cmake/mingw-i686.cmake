# Cross toolchain: the 32-bit Windows executables (the product).
set(KOVRA_MINGW_PROCESSOR i686)
set(KOVRA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
