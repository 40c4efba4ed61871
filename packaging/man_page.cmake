# Makes a program's man page from its own --help text with help2man, so the
# page and the program cannot disagree, and compresses it the way Debian
# installs man pages (gzip -9n: best compression, no name or time stamp in
# the header, so the same program always gives the same file).
#
#   cmake -DHELP2MAN=<help2man> -DGZIP=<gzip> -DPROGRAM=<built program>
#         -DNAME=<one-line description> -DVERSION=<version> -DSECTION=<1 or 8>
#         -DINCLUDE=<extra sections, help2man's --include> -DDATE_EPOCH=<seconds>
#         -DOUTPUT=<page.SECTION.gz> [-DEMULATOR=<emulator and its arguments>]
#         -P man_page.cmake
cmake_minimum_required(VERSION 3.25)

foreach(variable HELP2MAN GZIP PROGRAM NAME VERSION SECTION INCLUDE DATE_EPOCH OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "man_page.cmake needs -D${variable}=...")
  endif()
endforeach()

string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
# A cross build runs the program through its emulator. help2man hands the
# command to the shell as one string and names the page after what follows
# its last slash: the program's own name.
set(command ${PROGRAM})
if(EMULATOR)
  string(JOIN " " command ${EMULATOR} ${PROGRAM})
endif()
# The page's date is the release's (help2man reads SOURCE_DATE_EPOCH), not
# the day of the build.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${DATE_EPOCH}
          ${HELP2MAN} --no-info "--name=${NAME}" "--version-string=${VERSION}" "--section=${SECTION}"
          "--include=${INCLUDE}" "--output=${page}" ${command}
  RESULT_VARIABLE result
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}: ${errors}")
endif()

execute_process(COMMAND ${GZIP} -9n -c ${page} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
