# Helpers every folder's CMakeLists.txt uses.

# Warnings as errors for our own code only. GCC 12's flow-based checks report
# overlaps and bounds inside libstdc++'s inlined string and vector code that
# cannot happen at -O3, so those stay warnings rather than failing optimised
# builds of correct code.
function(strimo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers
                           -Wno-error=restrict -Wno-error=array-bounds
                           -Wno-error=stringop-overflow -Wno-error=stringop-overread)
endfunction()

# Adds each immediate child folder of DIR that holds a CMakeLists.txt, in name order.
function(strimo_add_children dir)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir}
         ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
    list(SORT children)
    foreach(child ${children})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
            add_subdirectory(${dir}/${child})
        endif()
    endforeach()
endfunction()

# strimo_add_test(NAME <exe> LABEL <subsystem> SOURCES ... LIBS ...)
# One GoogleTest executable whose cases CTest runs one by one, labelled by subsystem.
function(strimo_add_test)
    cmake_parse_arguments(T "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    strimo_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
    gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS ${T_LABEL} TIMEOUT 120
                         ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()
