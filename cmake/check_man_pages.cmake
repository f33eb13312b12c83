# Every option a tool's usage text lists is named in its man page (cmake -P):
#   cmake -DBIN=<programs folder> -DMAN=<docs/man> -DTOOLS="a;b" -P check_man_pages.cmake
# Prints each tool without a page and each option a page leaves out; fails
# when there is one.
cmake_minimum_required(VERSION 3.25)

if(NOT BIN OR NOT MAN OR NOT TOOLS)
  message(FATAL_ERROR "usage: cmake -DBIN=<dir> -DMAN=<dir> -DTOOLS=<list> -P check_man_pages.cmake")
endif()

set(missing 0)
foreach(tool IN LISTS TOOLS)
  set(page ${MAN}/${tool}.1)
  if(NOT EXISTS ${page})
    message("${tool}: no man page ${page}")
    math(EXPR missing "${missing} + 1")
    continue()
  endif()
  execute_process(COMMAND ${BIN}/${tool} --help OUTPUT_VARIABLE out ERROR_VARIABLE err
                  RESULT_VARIABLE status TIMEOUT 30)
  if(NOT status MATCHES "^[0-9]+$")
    message("${tool}: --help did not run: ${status}")
    math(EXPR missing "${missing} + 1")
    continue()
  endif()
  file(READ ${page} text)
  # roff writes a minus sign as \-.
  string(REPLACE "\\-" "-" text "${text}")
  # Long options, commands ("telvora-reg query") and reg.exe-style
  # switches ("[/ve | /v NAME]").
  # Brackets would bind list items together: blanks stand for them.
  string(REGEX REPLACE "[][]" " " usage "${out}${err}")
  string(REGEX MATCHALL "--[a-z][a-z0-9-]*" options "${usage}")
  string(REGEX MATCHALL "${tool} [a-z]+" commands "${usage}")
  string(REGEX MATCHALL " /[a-z][a-z]? " switches "${usage}")
  foreach(command IN LISTS commands)
    string(REPLACE "${tool} " "" command "${command}")
    list(APPEND options ${command})
  endforeach()
  foreach(switch IN LISTS switches)
    string(STRIP "${switch}" switch)
    list(APPEND options ${switch})
  endforeach()
  list(REMOVE_DUPLICATES options)
  if(NOT options)
    message("${tool}: --help lists no option and no command")
    math(EXPR missing "${missing} + 1")
  endif()
  foreach(option IN LISTS options)
    string(FIND "${text}" "${option}" at)
    if(at EQUAL -1)
      message("${tool}: the man page does not name ${option}")
      math(EXPR missing "${missing} + 1")
    endif()
  endforeach()
endforeach()

if(missing GREATER 0)
  message(FATAL_ERROR "${missing} man page fault(s)")
endif()
message("man pages: every option named")
