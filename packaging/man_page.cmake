# Writes the tavelo(1) manual page from what `tavelo --help` prints, so the
# page lists exactly the program's own usage lines and options.
#
#   cmake -DTAVELO=path/to/tavelo -DTEMPLATE=tavelo.1.in -DVERSION=x.y.z
#         -DSAMPLEDIR=/usr/share/tavelo/sample -DOUT=tavelo.1 -P man_page.cmake
#
# Help lines it understands (anything else becomes a plain paragraph):
#   "  tavelo ARGS   what it does"     a way of running the program
#   "    --option ARG   what it does"  an option
cmake_minimum_required(VERSION 3.25)

foreach(var TAVELO TEMPLATE VERSION SAMPLEDIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "man_page.cmake: -D${var}=... is missing")
  endif()
endforeach()

execute_process(COMMAND "${TAVELO}" --help
  OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "man_page.cmake: `${TAVELO} --help` failed (${status}): ${errors}")
endif()

# Text for roff: backslashes kept, hyphens as minus signs (so options can be
# copied and searched), a leading dot or quote made harmless.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Roff text for an option or usage form: option names bold, the rest roman.
function(roff_form text out)
  roff_text("${text}" text)
  string(REGEX REPLACE "(\\\\-\\\\-[a-z][a-z\\\\-]*)" "\\\\fB\\1\\\\fR" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(synopsis "")
set(modes "")
set(options "")
set(option_count 0)
# Square brackets would stop CMake splitting the list: hide them meanwhile.
string(REPLACE ";" "\\;" help "${help}")
string(REPLACE "[" "@LB@" help "${help}")
string(REPLACE "]" "@RB@" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
foreach(line IN LISTS lines)
  string(REPLACE "@LB@" "[" line "${line}")
  string(REPLACE "@RB@" "]" line "${line}")
  if(line MATCHES "^[ ]*$" OR line MATCHES "^Usage:[ ]*$")
    continue()
  elseif(line MATCHES "^  tavelo (.*)$")
    # A way of running the program, with or without what it does.
    set(rest "${CMAKE_MATCH_1}")
    set(what "")
    if(rest MATCHES "^(.*[^ ])  +([^ ].*)$")
      set(rest "${CMAKE_MATCH_1}")
      set(what "${CMAKE_MATCH_2}")
    endif()
    roff_form("${rest}" form)
    string(APPEND synopsis ".B tavelo\n${form}\n.br\n")
    if(NOT what STREQUAL "")
      roff_text("${what}" what)
      string(APPEND modes ".TP\n\\fBtavelo\\fR ${form}\n${what}\n")
    endif()
  elseif(line MATCHES "^ +(--?[A-Za-z][^ ]*( [^ -][^ ]*)?)  +([^ ].*)$")
    roff_form("${CMAKE_MATCH_1}" form)
    roff_text("${CMAKE_MATCH_3}" what)
    string(APPEND options ".TP\n${form}\n${what}\n")
    math(EXPR option_count "${option_count} + 1")
  else()
    string(STRIP "${line}" line)
    roff_form("${line}" text)
    string(APPEND options ".PP\n${text}\n")
  endif()
endforeach()
if(synopsis STREQUAL "" OR option_count EQUAL 0)
  message(FATAL_ERROR "man_page.cmake: no usage lines or no options in `tavelo --help`:\n${help}")
endif()
# --help and --version sit on a usage line of their own; list them too.
string(APPEND options ".TP\n\\fB\\-\\-help\\fR\nprint the usage above and exit (needs no display)\n")
string(APPEND options ".TP\n\\fB\\-\\-version\\fR\nprint the version and exit (needs no display)\n")

# The page's date: SOURCE_DATE_EPOCH when set, so builds are reproducible.
string(TIMESTAMP date "%Y-%m-%d" UTC)
file(READ "${TEMPLATE}" page)
string(REPLACE "@VERSION@" "${VERSION}" page "${page}")
string(REPLACE "@DATE@" "${date}" page "${page}")
string(REPLACE "@SAMPLEDIR@" "${SAMPLEDIR}" page "${page}")
string(REPLACE "@SYNOPSIS@" "${synopsis}" page "${page}")
string(REPLACE "@MODES@" "${modes}" page "${page}")
string(REPLACE "@OPTIONS@" "${options}" page "${page}")
string(REGEX REPLACE "\n\n+" "\n" page "${page}")
file(WRITE "${OUT}.tmp" "${page}")
file(RENAME "${OUT}.tmp" "${OUT}")
