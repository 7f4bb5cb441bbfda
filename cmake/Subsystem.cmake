# torvane_subsystem(): adds every .cpp of the calling folder to the core
# library, and its texts.def (if any) as GBK texts in torvane::<dir>::text.
function(torvane_subsystem)
  get_filename_component(dir ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  target_sources(torvane_core PRIVATE ${sources})
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/texts.def)
    torvane_texts(torvane_core ${dir} torvane::${dir}::text)
  endif()
endfunction()
