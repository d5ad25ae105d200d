# The player's database connection as a process: the class missing with no
# library beside the player (the registry repair, then the question), and a
# stand-in library beside it that registers itself and records what the
# player hands it. Runs in a Wine prefix of its own, as it registers and
# removes the database class. Variables: PLAYER, FAKEDB, MKWORK, RUNNER,
# PREFIX, WORK.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/bare ${WORK}/fake)

set(clsid "{700F47F0-1C71-4E07-95BA-59F3D8EA366A}")
set(libid "{DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}")

function(wine_out var)
  execute_process(COMMAND ${RUNNER} ${PREFIX} ${ARGN} OUTPUT_VARIABLE out
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET TIMEOUT 60)
  set(${var} "${out}" PARENT_SCOPE)
endfunction()

function(forget_class)
  foreach(key "HKCR\\CLSID\\${clsid}" "HKCR\\TypeLib\\${libid}")
    execute_process(COMMAND ${RUNNER} ${PREFIX} reg delete "${key}" /f
                    OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  endforeach()
endfunction()

function(reg_add key value)
  execute_process(COMMAND ${RUNNER} ${PREFIX} reg add "${key}" /ve /d "${value}" /f
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "reg add ${key}: exit ${rc}")
  endif()
endfunction()

set(WINE ${RUNNER} ${PREFIX})
include(${CMAKE_CURRENT_LIST_DIR}/process_common.cmake)
wine_out(winwork winepath -w ${WORK})

function(play dir answer expect)
  file(REMOVE ${log})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MAVRO_AUTOANSWER=${answer}
                          "MAVRO_FAKEDB_RECORD=${winwork}\\${dir}\\record.txt"
                          ${RUNNER} ${PREFIX} ${WORK}/${dir}/MavroRT.exe -r
                          "${winwork}\\${dir}\\${ARGN}"
                  RESULT_VARIABLE rc TIMEOUT 90)
  if(NOT rc EQUAL ${expect})
    file(READ ${log} text)
    message(FATAL_ERROR "${dir} ${ARGN} answering ${answer}: exit ${rc}, expected ${expect}\n${text}")
  endif()
endfunction()

foreach(dir bare fake)
  file(COPY ${PLAYER} DESTINATION ${WORK}/${dir})
  file(WRITE ${WORK}/${dir}/MavroRT.ini "[MavroRT]\r\nSysLog=1\r\n")
endforeach()
file(COPY_FILE ${FAKEDB} ${WORK}/fake/mavrodb.dll)
foreach(work bare/work.mrt fake/work.mrt fake/multi.mrt)
  set(variant db)
  if(work MATCHES "multi")
    set(variant db-multi)
  endif()
  execute_process(COMMAND ${RUNNER} ${PREFIX} ${MKWORK} ${WORK}/${work} ${variant}
                  RESULT_VARIABLE rc OUTPUT_QUIET TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "mkwork ${work}: exit ${rc}")
  endif()
endforeach()

# No class, no library. The repair reads the type library's 3.0 key of this
# build's platform (not 2.0/win32) and points the class at the file found
# there: here a file that is no library, so the third creation fails too and
# the question comes. No ends the program with 0 before any page shows.
forget_class()
file(WRITE ${WORK}/bare/notalib.dll "not a library")
file(WRITE ${WORK}/bare/old.dll "not a library either")
reg_add("HKCR\\TypeLib\\${libid}\\3.0\\0\\win64" "${winwork}\\bare\\notalib.dll")
reg_add("HKCR\\TypeLib\\${libid}\\2.0\\0\\win32" "${winwork}\\bare\\old.dll")
play(bare no 0 work.mrt)
expect_log("Database not registed, -- try to regiter")
expect_log("Register DB: LoadLibrary(")
expect_log("mavrodb.dll) failed")
expect_log("InitialDatabase:: CreateInstance failed after ReRegistryMavroDBIfNot")
expect_log("InitialDatabase:: CreateInstance failed after ReRegistryMavroDBIfErr")
expect_log("InitDatabase failed -- diabled")
expect_no_log("ChangeCanvasTo:")
wine_out(server reg query "HKCR\\CLSID\\${clsid}\\InprocServer32" /ve)
string(FIND "${server}" "notalib.dll" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the repair did not point the class at the 3.0 path:\n${server}")
endif()

# The same repair with the type library's path naming a server elsewhere:
# the third creation finds it, and the server is not asked to register.
forget_class()
file(MAKE_DIRECTORY ${WORK}/lib)
file(COPY_FILE ${FAKEDB} ${WORK}/lib/fakedb.dll)
reg_add("HKCR\\TypeLib\\${libid}\\3.0\\0\\win64" "${winwork}\\lib\\fakedb.dll")
play(bare no 1 work.mrt)
expect_log("InitialDatabase:: CreateInstance failed after ReRegistryMavroDBIfNot")
expect_no_log("after ReRegistryMavroDBIfErr")
expect_log("ChangeCanvasTo: End")
file(STRINGS ${WORK}/bare/record.txt lines)
list(GET lines 0 init)
string(TOUPPER "${init}" init_upper)
string(TOUPPER "InitDataBase path=${winwork}\\bare\\work.mvb workgroup=C:\\stored\\system.mdw password=secret flags=0 site=1 window=1" want)
if(NOT init_upper STREQUAL want)
  message(FATAL_ERROR "after the repair InitDataBase got\n  ${init}\nexpected\n  ${want}")
endif()

# Yes goes on without the database: the pages play and the last one ends
# the run with 1.
forget_class()
play(bare yes 1 work.mrt)
expect_log("Database not registed, -- try to regiter")
expect_log("ChangeCanvasTo: End")

# The stand-in beside the player registers itself: the second creation
# succeeds and no repair runs. It gets the runtime path with ".mvb" (not the
# stored one), the workgroup path before the password, flags 0 (never the
# create bit); its notice comes back through FreeDBNotice.
forget_class()
play(fake no 1 work.mrt)
expect_log("Database not registed, -- try to regiter")
expect_no_log("Register DB:")
expect_no_log("CreateInstance failed")
expect_no_log("InitDatabase failed")
expect_log("ChangeCanvasTo: End")
file(STRINGS ${WORK}/fake/record.txt lines)
list(GET lines 0 first)
if(NOT first STREQUAL "DllRegisterServer")
  message(FATAL_ERROR "expected the registration first:\n${lines}")
endif()
list(GET lines 1 init)
string(TOUPPER "${init}" init_upper)
string(TOUPPER "InitDataBase path=${winwork}\\fake\\work.mvb workgroup=C:\\stored\\system.mdw password=secret flags=0 site=1 window=1" want)
if(NOT init_upper STREQUAL want)
  message(FATAL_ERROR "InitDataBase got\n  ${init}\nexpected\n  ${want}")
endif()
list(GET lines 2 slot19)
if(NOT slot19 STREQUAL "GetDatabase answers this object")
  message(FATAL_ERROR "site slot 19 during InitDataBase: ${slot19}")
endif()
expect_log("Fake database: opened through the play site")
list(GET lines 3 posted)
list(GET lines 4 freed)
string(REGEX REPLACE "^posted " "" pointer "${posted}")
if(NOT posted MATCHES "^posted " OR NOT freed STREQUAL "freed ${pointer} Staff")
  message(FATAL_ERROR "the posted notice did not come back:\n${lines}")
endif()

# Registered now: a multi-user work creates the class at once and keeps its
# stored path; flags 2.
file(REMOVE ${WORK}/fake/record.txt)
play(fake no 1 multi.mrt)
expect_no_log("Database not registed")
file(STRINGS ${WORK}/fake/record.txt lines)
list(GET lines 0 init)
set(want "InitDataBase path=C:\\stored\\elsewhere.mvb workgroup=C:\\stored\\system.mdw password=secret flags=2 site=1 window=1")
if(NOT init STREQUAL want)
  message(FATAL_ERROR "InitDataBase got\n  ${init}\nexpected\n  ${want}")
endif()

forget_class()
