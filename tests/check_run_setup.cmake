# scripts/run must work on a machine with only the run set of packages:
# that set holds no test, benchmark or fuzzing tool, and the "run" preset
# configures without GoogleTest or benchmark.
#   cmake -DSOURCE=... -DWORK=... -P check_run_setup.cmake

execute_process(COMMAND ${SOURCE}/scripts/install-deps --list
  OUTPUT_VARIABLE runSet COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" runSet "${runSet}")
foreach(package IN LISTS runSet)
  if(package MATCHES "gtest|gmock|benchmark|clang|stb|xvfb|lintian|appstream|rsvg|python3-pil|numpy")
    message(FATAL_ERROR "the run set installs ${package}, which only testing needs")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --preset run -B ${WORK}
                        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
  WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the run preset does not configure without the test tools:\n${errors}")
endif()
file(READ ${WORK}/build.ninja ninja)
foreach(target meshara meshara-cli)
  if(NOT ninja MATCHES "build ${target}:")
    message(FATAL_ERROR "the run configuration has no ${target} target")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
