# Runs the player as a process and checks its exit codes and files.
# Variables: PLAYER, WORK, EMULATOR.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(dir ${PLAYER} DIRECTORY)

function(run_player expect)
  execute_process(COMMAND ${EMULATOR} ${PLAYER} ${ARGN}
                  RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL ${expect})
    message(FATAL_ERROR "MavroRT ${ARGN}: exit ${rc}, expected ${expect}")
  endif()
endfunction()

# No switch, or another switch: exits at once with 0.
run_player(0)
run_player(0 -X)

# With SysLog=1 in the ini beside the program the trace log appears in the
# temporary folder and earlier logs move up; with 0 no log is made.
file(COPY ${PLAYER} DESTINATION ${WORK})
set(player ${WORK}/MavroRT.exe)
set(WINE ${EMULATOR})
include(${CMAKE_CURRENT_LIST_DIR}/process_common.cmake)
set(temp ${wine_temp})
file(REMOVE ${log} ${temp}/~mvrt40.lg1)

file(WRITE ${WORK}/MavroRT.ini "[MavroRT]\r\nSysLog=0\r\n")
execute_process(COMMAND ${EMULATOR} ${player} -r ${WORK}/none.mrt RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0 OR EXISTS ${log})
  message(FATAL_ERROR "SysLog=0: exit ${rc}, log present: expected exit 0 and no log")
endif()

file(WRITE ${WORK}/MavroRT.ini "[MavroRT]\r\nSysLog=1\r\n")
foreach(run 1 2)
  execute_process(COMMAND ${EMULATOR} ${player} -r ${WORK}/none.mrt RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "SysLog=1 run ${run}: exit ${rc}")
  endif()
endforeach()
if(NOT EXISTS ${log} OR NOT EXISTS ${temp}/~mvrt40.lg1)
  message(FATAL_ERROR "SysLog=1: expected ${log} and the previous run's .lg1")
endif()
file(READ ${log} text)
foreach(needle "Orvane Mavro Tool Version: 6.5.0.1" "comctl32-Ver:" "DiskFreeSpace in system("
               "Load CursorLib Failed! (" ">>SYSTEM TERMINATED NORMALLY<<")
  string(FIND "${text}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "trace log lacks '${needle}':\n${text}")
  endif()
endforeach()

# The type library is registered at start.
execute_process(COMMAND ${EMULATOR} reg query "HKCR\\TypeLib\\{D5738C00-104E-11D4-9EEB-00104B04B807}\\1.0"
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "type library 1 is not registered")
endif()

# A file that is no package: the open fails with the container's messages
# and the player exits 0 without showing a window.
file(WRITE ${WORK}/small.mrt "not a package")
execute_process(COMMAND ${EMULATOR} ${player} /r "${WORK}/small.mrt" RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "non-package: exit ${rc}")
endif()
expect_log("Not a valid mrt/ext file")
expect_log("Cannot open rtFile:")

string(REPEAT "0123456789abcdef" 64 kb)
file(WRITE ${WORK}/nohead.mrt "${kb}")
execute_process(COMMAND ${EMULATOR} ${player} /r "${WORK}/nohead.mrt" RESULT_VARIABLE rc TIMEOUT 60)
expect_log("Cannot locate header of RTFile(")

# A written work opens and pre-loads (its media ini is looked for beside it),
# shows its pages one after another on their hold times and ends itself with
# the last page's automatic action: exit code 1.
execute_process(COMMAND ${EMULATOR} ${MKWORK} ${WORK}/work.mrt RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mkwork: exit ${rc}")
endif()
execute_process(COMMAND ${EMULATOR} ${player} -r ${WORK}/work.mrt RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "work: exit ${rc}")
endif()
expect_log("work.ini not exists")
foreach(page Part1 Part1a Part2 End)
  expect_log("ChangeCanvasTo: ${page}")
endforeach()
file(READ ${log} text)
string(FIND "${text}" "Cannot open rtFile" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR "a written work failed to open:\n${text}")
endif()

# A work whose page index body is damaged: the pre-load fails with the
# document's line and the player ends normally with 0; no exception leaves
# the open.
foreach(damage cut-index past-index)
  execute_process(COMMAND ${EMULATOR} ${MKWORK} ${WORK}/damaged.mrt ${damage}
                  RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "mkwork ${damage}: exit ${rc}")
  endif()
  execute_process(COMMAND ${EMULATOR} ${player} -r ${WORK}/damaged.mrt RESULT_VARIABLE rc
                  TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${damage}: exit ${rc}")
  endif()
  expect_log("PreLoad PackedFile failed: ")
  expect_log(">>SYSTEM TERMINATED NORMALLY<<")
  expect_no_log("Unknown Exception")
endforeach()

# A work in a folder of a Chinese name, passed on the command line as a
# relative path under the Chinese code page: it opens and pre-loads, and the
# log names its ini ("演示.ini" in GBK: D1DD CABE) beside it.
set(cnenv ${CMAKE_COMMAND} -E env LC_ALL=zh_CN.UTF-8)
file(REMOVE_RECURSE "${WORK}/作品")
file(MAKE_DIRECTORY "${WORK}/作品")
execute_process(COMMAND ${cnenv} ${EMULATOR} ${MKWORK} "作品\\演示.mrt"
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK}/作品/演示.mrt")
  message(FATAL_ERROR "mkwork into a Chinese folder: exit ${rc}")
endif()
execute_process(COMMAND ${cnenv} ${EMULATOR} ${player} -r "作品\\演示.mrt"
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "Chinese path: exit ${rc}")
endif()
expect_no_log("Cannot open rtFile")
expect_no_log("PreLoad PackedFile failed")
file(READ ${log} hex HEX)
# "\xd1\xdd\xca\xbe.ini not exists"
string(FIND "${hex}" "d1ddcabe2e696e69206e6f7420657869737473" at)
if(at EQUAL -1)
  file(READ ${log} text)
  message(FATAL_ERROR "the log does not name 演示.ini:\n${text}")
endif()
