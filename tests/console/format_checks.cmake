# The compiler checks every printf-like helper's format against its values:
# format_checks.cpp compiles cleanly as it is, and with BAD_FORMATS each of
# its mismatched calls draws a -Wformat warning.
#
#   cmake -DCXX=<compiler> -DSOURCE_DIR=<repository> -P format_checks.cmake
set(source ${SOURCE_DIR}/tests/console/format_checks.cpp)
set(flags -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -I${SOURCE_DIR})

execute_process(COMMAND ${CXX} ${flags} ${source} RESULT_VARIABLE result ERROR_VARIABLE out)
if(NOT result EQUAL 0 OR out MATCHES "warning")
  message(FATAL_ERROR "the well-formed calls do not compile cleanly:\n${out}")
endif()

execute_process(COMMAND ${CXX} ${flags} -DBAD_FORMATS ${source} RESULT_VARIABLE result ERROR_VARIABLE out)
file(STRINGS ${source} lines)
set(line_number 0)
foreach(line IN LISTS lines)
  math(EXPR line_number "${line_number} + 1")
  if(line MATCHES "// BAD ([0-9]+)")
    set(call ${CMAKE_MATCH_1})
    if(NOT out MATCHES "format_checks.cpp:${line_number}:[0-9]+: warning: [^\n]*-Wformat")
      message(FATAL_ERROR "no -Wformat warning for mismatched call ${call} (line ${line_number}):\n${out}")
    endif()
  endif()
endforeach()
message(STATUS "format checks: every mismatched format is caught")
