# The system's user-visible texts are GBK bytes at run time on every build and
# locale. Each subsystem keeps its texts, readable in UTF-8, in one texts.def;
# configuring turns it into gen/<dir>/texts.h, a header of GBK byte literals
# (and again whenever the .def changes).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(TORVANE_GEN_DIR ${CMAKE_BINARY_DIR}/gen)

# torvane_texts(<target> <subsystem dir> <C++ namespace>)
function(torvane_texts target dir ns)
  set(in ${CMAKE_SOURCE_DIR}/${dir}/texts.def)
  set(out ${TORVANE_GEN_DIR}/${dir}/texts.h)
  set(script ${CMAKE_SOURCE_DIR}/scripts/gbk_texts.py)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${in} ${script})
  execute_process(COMMAND ${Python3_EXECUTABLE} ${script} ${in} ${out} ${ns}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "GBK texts for ${dir} could not be generated")
  endif()
  target_include_directories(${target} PUBLIC ${TORVANE_GEN_DIR})
endfunction()
