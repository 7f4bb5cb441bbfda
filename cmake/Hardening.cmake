# Exploit mitigations for everything built here, the tests included, so that
# they run what ships.
# - stack protector on functions with arrays or address-taken locals;
# - the checked string and memory functions of _FORTIFY_SOURCE (it needs the
#   optimiser, so not in Debug builds);
# - Windows (mingw-w64): the protector's runtime (libssp) is linked
#   statically with the rest (no new DLL); x86 images say NO_SEH, since GCC's
#   x86 code never puts a handler on the SEH chain and GNU ld writes no
#   SafeSEH table (tests/release/check_hardening.py checks both claims);
#   ASLR, high-entropy ASLR and DEP are GNU ld's defaults and stay on;
# - natively, Debian's hardening flags: full RELRO with immediate binding
#   and position-independent executables.
# The sanitizer and fuzzing presets turn it off: their own instrumentation
# replaces it.
option(TORVANE_HARDEN "Build with the hardening flags" ON)
if(NOT TORVANE_HARDEN)
  return()
endif()

add_compile_options(-fstack-protector-strong)
add_link_options(-fstack-protector-strong)
add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
if(WIN32)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    add_link_options(-Wl,--no-seh)
  endif()
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_link_options(-Wl,--high-entropy-va)
  endif()
else()
  include(CheckPIESupported)
  check_pie_supported()
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
