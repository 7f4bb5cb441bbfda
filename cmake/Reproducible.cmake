# Windows binaries are the shipped ones: the same commit built in any folder
# at any time gives the same bytes. No build folder in the code or the debug
# information: sources are named under /torvane (the checkout's root), a
# build folder outside the checkout /torvane-build. No link time in the PE
# header (the release sets the commit's time there, tools/release/make_bundle.py).
if(WIN32)
  set(_maps "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=/torvane")
  cmake_path(IS_PREFIX CMAKE_SOURCE_DIR "${CMAKE_BINARY_DIR}" _inside)
  if(NOT _inside)
    list(APPEND _maps "-ffile-prefix-map=${CMAKE_BINARY_DIR}=/torvane-build")
  endif()
  foreach(_map IN LISTS _maps)
    add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${_map}>")
  endforeach()
  add_link_options(-Wl,--no-insert-timestamp)
endif()
