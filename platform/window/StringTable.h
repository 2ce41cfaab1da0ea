#pragma once
// String tables of resource modules. The program's own module holds its
// string table compiled in; a language's texts come from a catalogue file in
// the program folder that the start-up loads in its place. A catalogue is
// UTF-8 text, one string a line: the decimal id, one blank, the text, in
// which "\n", "\t" and "\\" stand for a line break, a tab and a backslash.
// Empty lines and lines starting with '#' are skipped. An id missing from
// the module read gives an empty text, in a catalogue as in the program.

#include "platform/window/Handles.h"

#include <string>

// Copies string id of the module (null: the program's own) into buffer, cut
// to buffer_max - 1 units and terminated; returns the units copied, 0 for a
// missing id. With buffer_max 0 the buffer receives a pointer to the
// module's read-only text (not terminated by contract) and the return is its
// length; the text lives as long as its module.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int buffer_max);

namespace plat {

// The program's own resource module.
HINSTANCE program_module();
// A catalogue file as a resource module; null when it cannot be read. A
// line that is not an id and a text is skipped (and reported to the debug
// output); a repeated id keeps its last text.
HINSTANCE load_resource_module(const std::string& path);
// Frees a module load_resource_module made; the program's module and null are ignored.
void free_resource_module(HINSTANCE module);

}
