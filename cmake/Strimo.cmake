# Helpers every folder's CMakeLists.txt uses.

# Our own code's warnings, as errors where STRIMO_WERROR asks (the trees the
# tests build). GCC 12's flow-based checks report overlaps and bounds inside
# libstdc++'s inlined string and vector code that cannot happen at -O3, so
# those stay warnings rather than failing optimised builds of correct code.
function(strimo_warnings target)
    # The fuzz tree is built by clang, whose warnings differ: GCC trees enforce ours.
    if(STRIMO_FUZZ)
        return()
    endif()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
    if(STRIMO_WERROR)
        target_compile_options(${target} PRIVATE -Werror -Wno-error=restrict -Wno-error=array-bounds
                               -Wno-error=stringop-overflow -Wno-error=stringop-overread)
    endif()
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
                         PROPERTIES LABELS ${T_LABEL} TIMEOUT 300
                         ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# strimo_tsan_tests(LABEL <subsystem>-tsan TARGETS <test executables>...)
# Runs these test executables again under ThreadSanitizer, as CTest test
# <label> with that label. Every label shares one tree (build/<tree>/tsan),
# built once by the fixture test tsan_build; see strimo_tsan_finish.
function(strimo_tsan_tests)
    cmake_parse_arguments(T "" "LABEL" "TARGETS" ${ARGN})
    set_property(GLOBAL APPEND PROPERTY STRIMO_TSAN_TARGETS ${T_TARGETS})
    add_test(NAME ${T_LABEL}
        COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}/tsan "-DTARGETS=${T_TARGETS}"
                -P ${CMAKE_SOURCE_DIR}/cmake/tsan/run.cmake)
    set_tests_properties(${T_LABEL} PROPERTIES LABELS ${T_LABEL} TIMEOUT 1800 FIXTURES_REQUIRED tsan_tree)
endfunction()

# Called once, after every folder: the build of the shared ThreadSanitizer tree.
function(strimo_tsan_finish)
    get_property(targets GLOBAL PROPERTY STRIMO_TSAN_TARGETS)
    if(NOT targets)
        return()
    endif()
    add_test(NAME tsan_build
        COMMAND ${CMAKE_COMMAND} -DSOURCE_ROOT=${CMAKE_SOURCE_DIR} -DBUILD_DIR=${CMAKE_BINARY_DIR}/tsan
                -DCXX=${CMAKE_CXX_COMPILER} "-DTARGETS=${targets}" -P ${CMAKE_SOURCE_DIR}/cmake/tsan/build.cmake)
    set_tests_properties(tsan_build PROPERTIES TIMEOUT 3000 FIXTURES_SETUP tsan_tree)
endfunction()

# strimo_add_fuzzer(NAME <fuzzer> SOURCES ... LIBS ... [SEEDS <script>] [DICT <file>])
# A libFuzzer target for one reader of outside bytes. Only a tree configured
# with STRIMO_FUZZ (clang) builds it; every other tree gets the CTest test
# fuzz_<fuzzer> (label fuzz), which runs it for a bounded time in the shared
# fuzz tree (build/<tree>/fuzz, built once by fuzz_build). SEEDS names a
# script that writes seed inputs into the folder given as its argument.
function(strimo_add_fuzzer)
    cmake_parse_arguments(F "" "NAME;SEEDS;DICT" "SOURCES;LIBS" ${ARGN})
    set(seeds "")
    if(F_SEEDS)
        set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/${F_SEEDS})
    endif()
    set(dict "")
    if(F_DICT)
        set(dict ${CMAKE_CURRENT_SOURCE_DIR}/${F_DICT})
    endif()
    if(STRIMO_FUZZ)
        add_executable(${F_NAME} ${F_SOURCES})
        target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        file(WRITE ${CMAKE_BINARY_DIR}/fuzzers/${F_NAME}.cmake "set(SEEDS \"${seeds}\")\nset(DICT \"${dict}\")\n")
        return()
    endif()
    set_property(GLOBAL APPEND PROPERTY STRIMO_FUZZERS ${F_NAME})
    add_test(NAME fuzz_${F_NAME}
        COMMAND ${CMAKE_COMMAND} -DFUZZ_DIR=${CMAKE_BINARY_DIR}/fuzz -DFUZZER=${F_NAME} -DSECONDS=$ENV{STRIMO_FUZZ_SECONDS}
                -P ${CMAKE_SOURCE_DIR}/cmake/fuzz/run.cmake)
    set_tests_properties(fuzz_${F_NAME} PROPERTIES LABELS fuzz TIMEOUT 600 FIXTURES_REQUIRED fuzz_tree)
endfunction()

# Called once, after every folder: the build of the shared fuzz tree.
function(strimo_fuzz_finish)
    get_property(fuzzers GLOBAL PROPERTY STRIMO_FUZZERS)
    if(NOT fuzzers OR STRIMO_FUZZ)
        return()
    endif()
    add_test(NAME fuzz_build
        COMMAND ${CMAKE_COMMAND} -DSOURCE_ROOT=${CMAKE_SOURCE_DIR} -DBUILD_DIR=${CMAKE_BINARY_DIR}/fuzz
                "-DTARGETS=${fuzzers}" -P ${CMAKE_SOURCE_DIR}/cmake/fuzz/build.cmake)
    set_tests_properties(fuzz_build PROPERTIES TIMEOUT 3000 FIXTURES_SETUP fuzz_tree)
endfunction()

# Called once, after every folder: the target `program`, what scripts/run
# builds (the program, the modules it registers and the tools it starts, no
# tests), and bin/modules.txt, the modules scripts/run registers, one a line.
function(strimo_program)
    set(modules plat_script plat_html feldane pellow itunes filters garvish quandrel mossveil effects)
    add_custom_target(program DEPENDS strimo strimo-regsvr strimo-pagehost ${modules})
    set(list "")
    foreach(module ${modules})
        string(APPEND list "$<TARGET_FILE_NAME:${module}>\n")
    endforeach()
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/bin/modules.txt CONTENT "${list}")
endfunction()
