# Windows binaries are the shipped ones: the same commit built in any folder
# at any time gives the same bytes. No build folder in the code or the debug
# information (__FILE__, DWARF paths), no link time in the PE header (the
# release sets the commit's time there, tools/release/make_bundle.py).
# GCC tries the last map given first, so the build folder (inside the source
# folder) is mapped after the source folder.
if(WIN32)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/>")
  add_link_options(-Wl,--no-insert-timestamp)
endif()
