# torvane-host scan end to end with a disk swapped while the password dialog
# is up: the script's "call swap-e" puts the stand-in's spare disk in at e:.
# The new disk is refused: not opened, the first disk's list not stored on
# it. Run by ctest with HOST, SELVIK, SOURCE and WORK defined.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/cfg ${WORK}/e ${WORK}/state)
file(GLOB configs ${SOURCE}/samples/config/*)
file(COPY ${configs} DESTINATION ${WORK}/cfg)
file(WRITE ${WORK}/cfg/kolMera2.ini "[KOLMERA]\r\nreg=1\r\nWebAddress=\r\n")
file(READ ${SOURCE}/samples/admission/disks.sim disks)
file(WRITE ${WORK}/disks.sim "${disks}[spare e]\nvid = 0951\npid = 1666\nserial = SWAPPED-B\n"
           "classified = 1\nowner = B\npassword = bbbb1234\n")
file(WRITE ${WORK}/swap.script "dialog 8001\ncall swap-e\ntype 8001 bbbb1234\npress 1\n")
set(ENV{SELVIK_SIM} ${WORK}/disks.sim)
set(ENV{TORVANE_STATE_DIR} ${WORK}/state)
execute_process(
  COMMAND ${HOST} scan --dir ${WORK}/cfg --selvik ${SELVIK} --utf8 --drive e=${WORK}/e
          --script ${WORK}/swap.script
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "torvane-host scan failed: ${rc}")
endif()
foreach(expected "已被更换为序列号:SWAPPED-B的优盘" "dialog 8001 end 2" "slot g: handled")
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing from the transcript: ${expected}")
  endif()
endforeach()
file(READ ${WORK}/disks.sim sim)
foreach(unexpected "opened = " "saved = ")
  string(FIND "${sim}" "${unexpected}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "a disk shows: ${unexpected}")
  endif()
endforeach()
