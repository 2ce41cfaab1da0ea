#pragma once
// Starting the installer from the open file whose bytes were verified, never
// by its path again, so nothing can put another file in its place between
// the check and the start.

#include <string>
#include <vector>

// Runs the program held open in fd (an executable or a script with "#!")
// with args as its argument vector, detached from this process (it outlives
// it and is never waited for). True once it has started; false, with nothing
// started, when it cannot be.
bool start_from_descriptor(int fd, const std::vector<std::string>& args);
