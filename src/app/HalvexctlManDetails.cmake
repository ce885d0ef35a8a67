# Writes help2man's include file for halvexctl: a section "COMMAND DETAILS" with each
# command's own help text (`halvexctl COMMAND --help`, without the options and exit status
# that the main help already gives), and the Files and Examples of the main help kept line
# by line (help2man would fill them into one paragraph).
#   cmake -DHALVEXCTL=<program> -DOUTPUT=<file> -P HalvexctlManDetails.cmake
function(help_of out)
    execute_process(COMMAND ${HALVEXCTL} ${ARGN} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${HALVEXCTL} ${ARGN} --help failed")
    endif()
    string(REPLACE "\\" "\\\\" help "${help}")
    set(${out} "${help}" PARENT_SCOPE)
endfunction()

set(text "[COMMAND DETAILS]\n")
foreach(command ports check read export write import font doctor glyphs presets preset)
    help_of(help ${command})
    # "Usage: halvexctl [...] SYNOPSIS\nSummary.\n\nDetails...\n\nOptions:..."
    if(NOT help MATCHES "^Usage: halvexctl [^\n]*--quiet\\] ([^\n]*)\n[^\n]*\n\n(.*)\n\nOptions:")
        message(FATAL_ERROR "unexpected help text of ${command}")
    endif()
    set(synopsis "${CMAKE_MATCH_1}")
    set(details "${CMAKE_MATCH_2}")
    string(REPLACE "\n\n" "\n.PP\n" details "${details}")
    # An option's description continued on further lines becomes one paragraph.
    string(REGEX REPLACE "\n               +" " " details "${details}")
    # "  --opt VALUE   text" and "  name   text" lines become tagged paragraphs.
    string(REGEX REPLACE "\n  ([-a-z]+( [A-Z]+)?)  +" "\n.TP\n\\1\n" details "${details}")
    string(APPEND text ".SS \"${synopsis}\"\n${details}\n")
endforeach()

help_of(help)
foreach(section Files Examples)
    if(NOT help MATCHES "\n${section}:\n(.*)")
        message(FATAL_ERROR "no ${section} in the help text")
    endif()
    string(REGEX REPLACE "\n\n.*" "" body "${CMAKE_MATCH_1}")
    string(TOUPPER "${section}" name)
    string(APPEND text "[=${name}]\n.nf\n${body}\n.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
