# What a configured build makes and what it leaves out. Every area states its
# parts with kormit_report(); a part left out for want of a tool is also a
# warning, which stays visible when the configure output is hidden.
#
#   kormit_report(PART TEXT...)   one line of the summary (the texts joined)
#   kormit_missing(PART TEXT...)  a part left out or crippled: warning and line
#   kormit_print_report()         the summary, at the end of the configure run
function(kormit_report part)
  string(JOIN "" text ${ARGN})
  set_property(GLOBAL APPEND PROPERTY kormit_report_lines "${part}: ${text}")
endfunction()

function(kormit_missing part)
  string(JOIN "" text ${ARGN})
  message(WARNING "${part}: ${text}")
  kormit_report("${part}" "${text}")
endfunction()

function(kormit_print_report)
  get_property(lines GLOBAL PROPERTY kormit_report_lines)
  message(STATUS "This build (${KORMIT_PLATFORM}, ${CMAKE_BUILD_TYPE}) makes:")
  foreach(line IN LISTS lines)
    message(STATUS "  ${line}")
  endforeach()
endfunction()
