# Cross-build for 64-bit Windows (the twin run under Wine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# The program uses the win32 thread model: the posix one links in winpthread,
# over a hundred kilobytes the program never uses. GoogleTest needs posix.
if(NOT ZEV_MINGW_THREADS)
  set(ZEV_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEV_MINGW_THREADS)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${ZEV_MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${ZEV_MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
