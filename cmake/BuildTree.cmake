# For the scripts that build an extra tree of their own (ThreadSanitizer,
# fuzzing): configures SOURCE_ROOT into BUILD_DIR with the given arguments
# and builds TARGETS with every core.
function(strimo_build_tree what)
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_ROOT} -B ${BUILD_DIR} -G Ninja ${ARGN}
                    OUTPUT_QUIET RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what}: configure failed")
    endif()
    cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j ${jobs} --target ${TARGETS} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what}: build failed")
    endif()
endfunction()
