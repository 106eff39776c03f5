cmake_minimum_required(VERSION 3.20)
# One full run of the harness against the simulator under memcheck: no error
# and no block lost.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env IRSIM_FRAMES=12
    ${VALGRIND} --error-exitcode=99 --leak-check=full
      --errors-for-leak-kinds=definite,indirect,possible ${HARNESS}
  WORKING_DIRECTORY ${WORK} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT out MATCHES "frames: 12 saved: 10\ndone\n$")
  message(FATAL_ERROR "status ${status}\n${out}\n${err}")
endif()
message(STATUS "${err}")
