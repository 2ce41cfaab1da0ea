# cmake -DSOURCE_ROOT=... -DBUILD_DIR=... -DCXX=... -DTARGETS=a;b -P build.cmake
# Builds the named test executables with ThreadSanitizer in a tree of their
# own (it cannot share a process with AddressSanitizer). Every subsystem's
# ThreadSanitizer tests share this one tree, built once per test run.
include(${CMAKE_CURRENT_LIST_DIR}/../BuildTree.cmake)
# Line tables only (-g1): reports still name file and line, and the tree
# builds in two thirds of the time full debug information takes.
strimo_build_tree("ThreadSanitizer tree" -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=
                  "-DCMAKE_CXX_FLAGS=-fsanitize=thread -O1 -g1" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
                  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread -DSTRIMO_WERROR=ON)
