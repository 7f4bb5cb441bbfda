# torvane-host scan end to end with the stand-in library and the scripted UI.
# SCENARIO "unlock": a classified disk admitted from the command line.
# SCENARIO "swap": the disk is swapped while the password dialog is up (the
# script's "call swap-e" puts the stand-in's spare disk in at e:); the new
# disk is refused, not opened, and the first disk's list is not stored on it.
# Run by ctest with HOST, SELVIK, SOURCE, WORK and SCENARIO defined.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/cfg ${WORK}/e ${WORK}/state)
file(GLOB configs ${SOURCE}/samples/config/*)
file(COPY ${configs} DESTINATION ${WORK}/cfg)
# No server: every event is kept in the warning store.
file(WRITE ${WORK}/cfg/kolMera2.ini "[KOLMERA]\r\nreg=1\r\nWebAddress=\r\n")
file(READ ${SOURCE}/samples/admission/disks.sim disks)
if(SCENARIO STREQUAL "swap")
  file(WRITE ${WORK}/disks.sim "${disks}[spare e]\nvid = 0951\npid = 1666\nserial = SWAPPED-B\n"
             "classified = 1\nowner = B\npassword = bbbb1234\n")
  file(WRITE ${WORK}/script "dialog 8001\ncall swap-e\ntype 8001 bbbb1234\npress 1\n")
  set(in_transcript "已被更换为序列号:SWAPPED-B的优盘" "dialog 8001 end 2" "slot g: handled")
  set(in_disks)
  set(not_in_disks "opened = " "saved = ")
else()
  file(WRITE ${WORK}/disks.sim "${disks}")
  file(READ ${SOURCE}/samples/admission/unlock.script script)
  file(WRITE ${WORK}/script "${script}")
  set(in_transcript "dialog 8001 end 1" "box 8001 \"失败\" 0x30 \"口令错误,请重新输入!\" -> 1"
                    "减少一次授权在该安全域上的使用次数" "slot e: handled" "slot g: handled")
  set(in_disks "opened = 1" "auth = 0123456789ABCDEF0123456789ABCDEF 1 2 2 0x0000000E")
  set(not_in_disks)
endif()
set(ENV{SELVIK_SIM} ${WORK}/disks.sim)
set(ENV{TORVANE_STATE_DIR} ${WORK}/state)
execute_process(
  COMMAND ${HOST} scan --dir ${WORK}/cfg --selvik ${SELVIK} --utf8 --drive e=${WORK}/e
          --script ${WORK}/script
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "torvane-host scan failed: ${rc}")
endif()
foreach(expected ${in_transcript})
  string(FIND "${out}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing from the transcript: ${expected}")
  endif()
endforeach()
file(READ ${WORK}/disks.sim sim)
foreach(expected ${in_disks})
  string(FIND "${sim}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the disk does not show: ${expected}")
  endif()
endforeach()
foreach(unexpected ${not_in_disks})
  string(FIND "${sim}" "${unexpected}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "a disk shows: ${unexpected}")
  endif()
endforeach()
file(SIZE ${WORK}/cfg/info2.sys stored)
if(stored EQUAL 0)
  message(FATAL_ERROR "no event reached the warning store")
endif()
