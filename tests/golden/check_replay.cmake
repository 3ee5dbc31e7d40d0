# cmake -DPENWICK=... -DROOT=... -DNAME=... -DTRACE=... [-DSETTINGS=...] -DOUT=... -P check_replay.cmake
# Replays TRACE and compares the per-sample table with tests/golden/NAME.csv.
cmake_minimum_required(VERSION 3.25)
set(arguments replay ${ROOT}/${TRACE} --out ${OUT})
if(SETTINGS)
    list(APPEND arguments --settings ${ROOT}/${SETTINGS})
endif()
execute_process(COMMAND ${PENWICK} ${arguments} RESULT_VARIABLE result ERROR_VARIABLE summary)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "penwick failed: ${summary}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${ROOT}/tests/golden/${NAME}.csv
                RESULT_VARIABLE differs)
if(differs)
    execute_process(COMMAND diff -u ${ROOT}/tests/golden/${NAME}.csv ${OUT})
    message(FATAL_ERROR "${NAME}: the replay differs from tests/golden/${NAME}.csv "
                        "(scripts/regenerate-golden, if the change is meant)")
endif()
