cmake_minimum_required(VERSION 3.20)
# The same settings on Linux and on Windows: byte-identical reference frames,
# and the same report but for addresses and line ends.
include(${CMAKE_CURRENT_LIST_DIR}/run_under_wine.cmake)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/linux)
execute_process(COMMAND ${CMAKE_COMMAND} -E env IRSIM_FRAMES=12 ${LINUX_HARNESS}
  WORKING_DIRECTORY ${WORK}/linux OUTPUT_VARIABLE linux_out RESULT_VARIABLE linux_status)
run_harness_under_wine(${WINDOWS_HARNESS} ${WORK}/windows windows_out windows_status)
if(NOT linux_status EQUAL 0 OR NOT windows_status EQUAL 0)
  message(FATAL_ERROR "status: Linux ${linux_status}, Windows ${windows_status}")
endif()

foreach(i RANGE 9)
  set(name official_ir_0${i}.rgb)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/linux/${name}
    ${WORK}/windows/${name} RESULT_VARIABLE differ)
  if(NOT differ EQUAL 0)
    message(FATAL_ERROR "${name} differs between Linux and Windows")
  endif()
endforeach()

function(without_addresses text out_var)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REGEX REPLACE "load: [^ ]+ " "load: ADDR " text "${text}")
  string(REGEX REPLACE "Start=[^ \n]+ Temp=[^\n]+" "Start=ADDR Temp=ADDR" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()
without_addresses("${linux_out}" linux_report)
without_addresses("${windows_out}" windows_report)
if(NOT linux_report STREQUAL windows_report)
  message(FATAL_ERROR "reports differ:\n${linux_report}\n---\n${windows_report}")
endif()
