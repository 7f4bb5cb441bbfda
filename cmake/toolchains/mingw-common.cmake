set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TORVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVANE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TORVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libcrypto cross-built by scripts/build-openssl-mingw.
if(DEFINED ENV{TORVANE_CACHE})
  set(_torvane_cache $ENV{TORVANE_CACHE})
else()
  set(_torvane_cache /var/cache/torvane)
endif()
set(OPENSSL_ROOT_DIR ${_torvane_cache}/openssl-${TORVANE_MINGW_ARCH} CACHE PATH "")
set(OPENSSL_USE_STATIC_LIBS TRUE CACHE BOOL "")
list(APPEND CMAKE_FIND_ROOT_PATH ${OPENSSL_ROOT_DIR})

# Tests run under Wine, through the launcher that starts each program with the
# loader of its own architecture (64-bit ones never through the 32-bit loader).
get_filename_component(_torvane_wine_exec ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-exec ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_torvane_wine_exec})
