# Cross build of kelvod.exe for 32-bit Windows with Debian's mingw-w64:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# The -win32 compilers are named on purpose: their C++ library needs no
# thread library for its guards and exceptions, where the -posix ones pull
# in winpthreads, which imports functions Windows 98 and NT 4.0 lack.
# kelvod.exe runs on one thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KV_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KV_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KV_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${KV_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in: the C++ and GCC runtime libraries would otherwise be
# DLLs that a clean Windows lacks.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs (and test discovery) through Wine.
find_program(KV_WINE wine)
if(KV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KV_WINE})
endif()
