# cmake -DSOURCE_ROOT=... -DBUILD_DIR=... -DCXX=... -DTARGETS=a;b -P build.cmake
# Builds the named test executables with ThreadSanitizer in a tree of their
# own (it cannot share a process with AddressSanitizer). Every subsystem's
# ThreadSanitizer tests share this one tree, built once per test run.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_ROOT} -B ${BUILD_DIR} -G Ninja
                        -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
                        "-DCMAKE_CXX_FLAGS=-fsanitize=thread -O1 -g"
                        -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
                        -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer build: configure failed")
endif()
cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j ${jobs} --target ${TARGETS} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "ThreadSanitizer build: build failed")
endif()
