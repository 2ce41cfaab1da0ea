# cmake -DFUZZ_DIR=... -DFUZZER=name [-DSECONDS=n] -P run.cmake
# Runs one fuzzer of the fuzz tree for a bounded time on its corpus (kept in
# FUZZ_DIR/corpus/<name>, seeded by its seed script). A crash, a leak, a hang
# of more than 10 s on one input or more than 2 GiB of memory is a finding:
# the reproducer is kept in FUZZ_DIR/findings and the test fails.
if(NOT SECONDS)
    set(SECONDS 20)
endif()
include(${FUZZ_DIR}/fuzzers/${FUZZER}.cmake)
set(corpus ${FUZZ_DIR}/corpus/${FUZZER})
set(seeds ${FUZZ_DIR}/seeds/${FUZZER})
set(findings ${FUZZ_DIR}/findings)
file(MAKE_DIRECTORY ${corpus} ${seeds} ${findings})
if(SEEDS AND NOT EXISTS ${seeds}/.made)
    execute_process(COMMAND ${SEEDS} ${seeds} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${FUZZER}: the seed script failed")
    endif()
    file(TOUCH ${seeds}/.made)
endif()
set(options -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
            -artifact_prefix=${findings}/${FUZZER}-)
if(DICT)
    list(APPEND options -dict=${DICT})
endif()
execute_process(COMMAND ${FUZZ_DIR}/bin/${FUZZER} ${options} ${corpus} ${seeds}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REGEX MATCH "stat::number_of_executed_units: *[0-9]+" runs "${err}")
string(REGEX MATCH "cov: [0-9]+" coverage "${err}")
if(NOT rc EQUAL 0)
    string(REGEX MATCH "Test unit written to [^\n]*" reproducer "${err}")
    message(FATAL_ERROR "${FUZZER}: finding (${rc}); ${reproducer}\n${err}")
endif()
message(STATUS "${FUZZER}: clean; ${runs}; ${coverage}")
