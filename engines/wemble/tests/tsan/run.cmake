# cmake -DSOURCE_ROOT=... -DBUILD_DIR=... -DCXX=... -P run.cmake
# Builds the tests of the command engine, the video engine stand-in, the
# download manager and the play controller with ThreadSanitizer, in a build
# tree of their own (it cannot share a process with AddressSanitizer), and runs
# them; any report fails.
set(targets controlengine_tests quelm_tests ostrel_tests wemble_tests)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_ROOT} -B ${BUILD_DIR} -G Ninja
                        -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
                        "-DCMAKE_CXX_FLAGS=-fsanitize=thread -O1 -g"
                        -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
                        -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer build: configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j 2 --target ${targets} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer build: build failed")
endif()
set(ENV{TSAN_OPTIONS} "halt_on_error=1 exitcode=66")
foreach(target ${targets})
    execute_process(COMMAND ${BUILD_DIR}/bin/${target} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${target} under ThreadSanitizer failed (${rc})")
    endif()
endforeach()
