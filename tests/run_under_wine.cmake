# run_harness_under_wine(<exe> <working dir> <stdout var> <status var>):
# one run of a Windows harness with IRSIM_FRAMES=12.
function(run_harness_under_wine exe dir out_var status_var)
  file(MAKE_DIRECTORY ${dir})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WINEPREFIX} WINEDEBUG=-all IRSIM_FRAMES=12
      ${WINE} ${exe}
    WORKING_DIRECTORY ${dir} OUTPUT_VARIABLE out RESULT_VARIABLE status)
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${status_var} "${status}" PARENT_SCOPE)
endfunction()
