# cmake -DSOURCE_ROOT=... -DBUILD_DIR=... -DTARGETS=a;b -P build.cmake
# Configures the fuzz tree with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and builds the named fuzzers.
include(${CMAKE_CURRENT_LIST_DIR}/../BuildTree.cmake)
strimo_build_tree("fuzz tree" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTRIMO_FUZZ=ON)
