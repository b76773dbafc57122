# Without a display the viewer says so in one line and exits 1, with
# nothing from the toolkit; --help and --version answer without one.
#   cmake -DVIEWER=... -DMODEL=... -P check_no_display.cmake

cmake_minimum_required(VERSION 3.25)
set(unset "--unset=DISPLAY|--unset=WAYLAND_DISPLAY")
set(neither "neither DISPLAY nor WAYLAND_DISPLAY is set")
# Each case: its name, the environment and the arguments with "--" between,
# the exit code, and why the line says there is no display (none for 0).
set(cases
  "unset|${unset}|--|${MODEL}|1|${neither}"
  "empty|DISPLAY=|WAYLAND_DISPLAY=|--|${MODEL}|1|${neither}"
  "unreachable|--unset=WAYLAND_DISPLAY|DISPLAY=:65000|--|${MODEL}|1|DISPLAY=:65000"
  "no file|${unset}|--|1|${neither}"
  "version|${unset}|--|--version|0|"
  "help|${unset}|--|--help|0|")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(POP_FRONT fields name)
  list(POP_BACK fields why)
  list(POP_BACK fields code)
  list(FIND fields "--" cut)
  list(SUBLIST fields 0 ${cut} environment)
  math(EXPR cut "${cut} + 1")
  set(arguments "")
  list(LENGTH fields count)
  if(cut LESS count)
    list(SUBLIST fields ${cut} -1 arguments)
  endif()
  set(want "")
  if(why)
    set(want "meshara: cannot open a display (${why}); meshara-cli renders without one\n")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${VIEWER} ${arguments}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT result STREQUAL code OR NOT err STREQUAL want)
    message(SEND_ERROR "${name}: exit ${result} (want ${code}), stderr:\n${err}(want:\n${want})")
  endif()
  if(code STREQUAL "0" AND NOT out MATCHES "^meshara 0\\.|^Meshara ")
    message(SEND_ERROR "${name}: stdout:\n${out}")
  endif()
endforeach()
