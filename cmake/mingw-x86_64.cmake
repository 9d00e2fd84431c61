# Cross build for 64-bit Windows with MinGW-w64 on Linux: the same sources and tests as the
# 32-bit build, for machines whose kernel cannot run the 32-bit Wine. Users still get the 32-bit
# executable; this build only runs the tests and the demo there, under the 64-bit Wine.
# The posix thread model gives GoogleTest its std::mutex; -static links winpthread in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# `wine` is the 64-bit loader here: ./run puts it first on PATH for this build's tests.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
