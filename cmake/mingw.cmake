# Cross-build for Windows with mingw-w64, one architecture and thread model per
# build tree (CMakePresets.json names them):
#   ZEV_ARCH           i686 (the shipped 32-bit program) or x86_64 (its twin, run under Wine)
#   ZEV_MINGW_THREADS  win32 (the program: the posix model links in winpthread, over a
#                      hundred kilobytes it never uses) or posix (GoogleTest needs it)
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ZEV_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "ZEV_ARCH must be i686 or x86_64, not '${ZEV_ARCH}' (see CMakePresets.json)")
endif()
if(NOT ZEV_MINGW_THREADS)
  set(ZEV_MINGW_THREADS win32)
endif()
if(NOT ZEV_MINGW_THREADS MATCHES "^(win32|posix)$")
  message(FATAL_ERROR "ZEV_MINGW_THREADS must be win32 or posix, not '${ZEV_MINGW_THREADS}'")
endif()
# Try-compiles see the same two choices.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZEV_ARCH ZEV_MINGW_THREADS)

set(CMAKE_SYSTEM_PROCESSOR ${ZEV_ARCH})
set(ZEV_TRIPLE ${ZEV_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEV_TRIPLE}-gcc-${ZEV_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${ZEV_TRIPLE}-g++-${ZEV_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${ZEV_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZEV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
