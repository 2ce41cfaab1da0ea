#pragma once
// The command line the program's parts read (the controller's OpenPath, the
// start in the tray), made from the arguments as Windows would have given it:
// the arguments joined by one blank; an argument that names an existing file
// is quoted with its absolute path, the form OpenPath acts on.

#include <string>

std::u16string command_line_from(int argc, const char* const* argv);
