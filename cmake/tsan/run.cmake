# cmake -DBUILD_DIR=... -DTARGETS=a;b -P run.cmake
# Runs test executables of the ThreadSanitizer tree; any report fails.
set(ENV{TSAN_OPTIONS} "halt_on_error=1 exitcode=66 suppressions=${CMAKE_CURRENT_LIST_DIR}/suppressions.txt")
foreach(target ${TARGETS})
    execute_process(COMMAND ${BUILD_DIR}/bin/${target} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${target} under ThreadSanitizer failed (${rc})")
    endif()
endforeach()
