# Shared part of the MinGW-w64 cross toolchains; the per-architecture files set
# VELTO1_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR, then include this one. The
# posix thread model is used so that std::thread and std::mutex exist for
# GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELTO1_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTO1_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTO1_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VELTO1_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VELTO1_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${VELTO1_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
