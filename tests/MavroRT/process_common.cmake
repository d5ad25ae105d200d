# Shared by the player's process tests. Before the include, WINE holds the
# command that runs a Windows program in the test's prefix (the emulator, or
# the runner and its prefix).

# The Unix path of a folder the prefix names by a variable (TEMP, WINDIR).
function(wine_folder var name)
  execute_process(COMMAND ${WINE} cmd /c echo %${name}% OUTPUT_VARIABLE win
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET TIMEOUT 60)
  execute_process(COMMAND ${WINE} winepath -u ${win} OUTPUT_VARIABLE unix
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET TIMEOUT 60)
  if(unix STREQUAL "")
    message(FATAL_ERROR "no Unix path for %${name}% ('${win}')")
  endif()
  set(${var} "${unix}" PARENT_SCOPE)
endfunction()

# The player's trace log of this prefix.
wine_folder(wine_temp TEMP)
set(log ${wine_temp}/~mvrt40.lg0)

function(expect_log needle)
  file(READ ${log} text)
  string(FIND "${text}" "${needle}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "trace log lacks '${needle}':\n${text}")
  endif()
endfunction()

function(expect_no_log needle)
  file(READ ${log} text)
  string(FIND "${text}" "${needle}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "trace log holds '${needle}':\n${text}")
  endif()
endfunction()
