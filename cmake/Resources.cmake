# The dialog templates and the icon (res/). The icon is drawn by
# scripts/make_icon.py at configure time. On Windows, torvane_resources(<target>)
# links the compiled script into a module: Torvane.dll itself, and every test
# program that runs real dialogs (the backend takes the templates from the
# module that holds its own code).
if(WIN32)
  set(TORVANE_RES_GEN ${CMAKE_BINARY_DIR}/gen/res)
  set(_icon_script ${CMAKE_SOURCE_DIR}/scripts/make_icon.py)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_icon_script})
  file(MAKE_DIRECTORY ${TORVANE_RES_GEN})
  execute_process(COMMAND ${Python3_EXECUTABLE} ${_icon_script} ${TORVANE_RES_GEN}/torvane.ico
                  RESULT_VARIABLE _icon_result)
  if(NOT _icon_result EQUAL 0)
    message(FATAL_ERROR "the icon could not be drawn")
  endif()
endif()

function(torvane_resources target)
  if(WIN32)
    set(rc ${CMAKE_SOURCE_DIR}/res/torvane.rc)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES
      COMPILE_OPTIONS "--codepage=65001;--include-dir=${TORVANE_RES_GEN}"
      OBJECT_DEPENDS ${TORVANE_RES_GEN}/torvane.ico)
  endif()
endfunction()
