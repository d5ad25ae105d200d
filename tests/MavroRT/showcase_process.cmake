# Plays the showcase work with short hold times (its scripted page goes on
# alone) beside the files the run script stages: every page comes, the title
# page's sound plays to its end, the run ends with the work's exit command (1)
# and no message of the log reports a failure (an object, fill, picture or
# plug-in that did not load; a library not found).
# The Motion page's test control is registered for the run, as the run
# script does, and taken away after it.
# Variables: PLAYER, LIBRARY (the cursor library), AXCONTROL (the test
# control), MKWORK, WORK, EMULATOR.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${PLAYER} ${LIBRARY} ${AXCONTROL} DESTINATION ${WORK})
get_filename_component(axname ${AXCONTROL} NAME)
file(WRITE ${WORK}/MavroRT.ini "[MavroRT]\r\nSysLog=1\r\n")
set(WINE ${EMULATOR})
include(${CMAKE_CURRENT_LIST_DIR}/process_common.cmake)
file(REMOVE ${log})

execute_process(COMMAND ${EMULATOR} ${MKWORK} ${WORK}/showcase.mrt hold=300 showcase
                RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mkwork showcase: exit ${rc}")
endif()
execute_process(COMMAND ${EMULATOR} regsvr32 /s ${WORK}/${axname} RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "regsvr32 ${axname}: exit ${rc}")
endif()
execute_process(COMMAND ${EMULATOR} ${WORK}/MavroRT.exe -r ${WORK}/showcase.mrt
                RESULT_VARIABLE rc TIMEOUT 90)
execute_process(COMMAND ${EMULATOR} regsvr32 /s /u ${WORK}/${axname} TIMEOUT 60)
file(READ ${log} text)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "showcase: exit ${rc}, expected 1\n${text}")
endif()
foreach(page Buttons Pictures Fills Board Figures Vector Texts Controls Media Motion Script End)
  expect_log("ChangeCanvasTo: ${page}")
endforeach()
# The title page's sound, from the package's memory to its end.
expect_log("SysSound: beep.wav from memory (")
expect_log("SysSound: end of beep.wav")
# The messages and errors, trace points left out.
string(REGEX MATCHALL ">>[A-Z ]+<<[^\n]*" messages "${text}")
foreach(m ${messages})
  string(TOLOWER "${m}" lower)
  if(lower MATCHES "fail|faild|error|cannot|refused|not read|not implement|exception|not-active")
    message(FATAL_ERROR "showcase: the log reports a failure: ${m}\n${text}")
  endif()
endforeach()
