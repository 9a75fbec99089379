# Cross-build for 32-bit Windows (the shipped program).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The program uses the win32 thread model: the posix one links in winpthread,
# over a hundred kilobytes the program never uses. GoogleTest needs posix.
if(NOT ZEV_MINGW_THREADS)
  set(ZEV_MINGW_THREADS win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEV_MINGW_THREADS)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${ZEV_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${ZEV_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
