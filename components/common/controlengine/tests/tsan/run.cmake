# cmake -DSOURCE_ROOT=... -DBUILD_DIR=... -DCXX=... -P run.cmake
# Configures, builds and runs the ThreadSanitizer build; any report fails the test.
set(project ${SOURCE_ROOT}/components/common/controlengine/tests/tsan)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${project} -B ${BUILD_DIR} -G Ninja
                        -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer build: configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j 2 RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer build: build failed")
endif()
set(ENV{TSAN_OPTIONS} "halt_on_error=1 exitcode=66")
execute_process(COMMAND ${BUILD_DIR}/controlengine_tsan_tests RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer run failed (${rc})")
endif()
