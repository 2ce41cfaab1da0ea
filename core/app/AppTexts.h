#pragma once
// The texts the start-up and the main window show, by string id, from the
// resource module the start-up chose (the language's catalogue, or the
// program's own table).

#include "platform/base/Types.h"
#include "platform/window/Handles.h"

#include <string>

// The texts' module for the run; null: the program's own.
void set_text_module(HINSTANCE module);
std::u16string app_text(UINT id);
// From the program's own table whatever the language (the title, the class name).
std::u16string program_text(UINT id);
