# Writes a man page from a program's own --help (and, for a program with subcommands, each
# subcommand's --help), so the page never says something the program does not.
#
# cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x.y -DOUTPUT=file.1
#       [-DSUBCOMMANDS=auto] [-DSEE_ALSO=other(1)] -P make_man_page.cmake
# auto: the help lists the commands under "Subcommands:"; each gets a section of its own.

cmake_policy(VERSION 3.25)

foreach(var PROGRAM NAME SUMMARY VERSION OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "make_man_page: ${var} is not set")
  endif()
endforeach()

# roff takes a leading '.' or '\'' as a request and '\' as an escape; '-' is a hyphen.
function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(help_of out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                          ${PROGRAM} ${ARGN} --help
                  OUTPUT_VARIABLE help RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR help STREQUAL "")
    message(FATAL_ERROR "make_man_page: '${PROGRAM} ${ARGN} --help' failed (${rc}): ${err}")
  endif()
  # Usage lines name the program as it was started: here, by its path in the build.
  string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")
  roff_escape("${help}" help)
  set(${out} "${help}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" upper)
roff_escape("${NAME}" name_roff)
roff_escape("${SUMMARY}" summary_roff)
set(page ".TH ${upper} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${name_roff} \\- ${summary_roff}\n")
help_of(main_help)
string(APPEND page ".SH DESCRIPTION\n.nf\n${main_help}\n.fi\n")
if(SUBCOMMANDS STREQUAL "auto")
  # "Subcommands:" then one "  name   what it does" line each, up to a blank line.
  set(commands)
  set(listing FALSE)
  string(REPLACE "\n" ";" help_lines "${main_help}")
  foreach(line IN LISTS help_lines)
    if(line MATCHES "^Subcommands:")
      set(listing TRUE)
    elseif(listing AND line MATCHES "^  ([a-z][a-z0-9]*(\\\\-[a-z0-9]+)*)( |$)")
      string(REPLACE "\\-" "-" command "${CMAKE_MATCH_1}")
      list(APPEND commands ${command})
    elseif(listing AND line STREQUAL "")
      set(listing FALSE)
    endif()
  endforeach()
  if(NOT commands)
    message(FATAL_ERROR "make_man_page: '${PROGRAM} --help' lists no subcommands")
  endif()
  string(APPEND page ".SH COMMANDS\n")
  foreach(sub IN LISTS commands)
    help_of(sub_help ${sub})
    string(APPEND page ".SS ${sub}\n.nf\n${sub_help}\n.fi\n")
  endforeach()
endif()
if(SEE_ALSO)
  string(APPEND page ".SH SEE ALSO\n.BR ${SEE_ALSO}\n")
endif()
file(WRITE "${OUTPUT}" "${page}")
