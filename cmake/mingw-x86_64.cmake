# Cross toolchain: 64-bit Windows executables of the same sources, for running the Windows tests
# under 64-bit Wine where 32-bit programs cannot run.
set(KOVRA_MINGW_PROCESSOR x86_64)
set(KOVRA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
