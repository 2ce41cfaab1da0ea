# cmake -DSOURCE_ROOT=... -DBUILD_DIR=... -DTARGETS=a;b -P build.cmake
# Configures the fuzz tree with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and builds the named fuzzers.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_ROOT} -B ${BUILD_DIR} -G Ninja
                        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTRIMO_FUZZ=ON
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "fuzz tree: configure failed")
endif()
cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j ${jobs} --target ${TARGETS} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "fuzz tree: build failed")
endif()
