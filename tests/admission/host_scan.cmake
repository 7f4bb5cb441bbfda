# torvane-host scan end to end: a classified disk admitted from the command
# line with the stand-in library and the scripted UI. Run by ctest with
# HOST, SELVIK, SOURCE and WORK defined.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/cfg ${WORK}/e ${WORK}/state)
file(GLOB configs ${SOURCE}/samples/config/*)
file(COPY ${configs} DESTINATION ${WORK}/cfg)
file(COPY ${SOURCE}/samples/admission/disks.sim DESTINATION ${WORK})
# No server: every event is kept in the warning store.
file(WRITE ${WORK}/cfg/kolMera2.ini "[KOLMERA]\r\nreg=1\r\nWebAddress=\r\n")
set(ENV{SELVIK_SIM} ${WORK}/disks.sim)
set(ENV{TORVANE_STATE_DIR} ${WORK}/state)
execute_process(
  COMMAND ${HOST} scan --dir ${WORK}/cfg --selvik ${SELVIK} --utf8 --drive e=${WORK}/e
          --script ${SOURCE}/samples/admission/unlock.script
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "torvane-host scan failed: ${rc}")
endif()
foreach(expected "dialog 8001 end 1" "box 8001 \"失败\" 0x30 \"口令错误,请重新输入!\" -> 1"
                 "减少一次授权在该安全域上的使用次数" "slot e: handled" "slot g: handled")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing from the transcript: ${expected}")
  endif()
endforeach()
file(READ ${WORK}/disks.sim sim)
foreach(expected "opened = 1" "auth = 0123456789ABCDEF0123456789ABCDEF 1 2 2 0x0000000E")
  string(FIND "${sim}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the disk does not show: ${expected}")
  endif()
endforeach()
file(SIZE ${WORK}/cfg/info2.sys stored)
if(stored EQUAL 0)
  message(FATAL_ERROR "no event reached the warning store")
endif()
