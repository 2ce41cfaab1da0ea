#pragma once
// The commands every engine over a file graph answers the same way: close,
// run, pause, stop, volume, mute and the splitter kind.

#include "engines/mediagraph/CAVFileBase.h"

#include <optional>

namespace mediagraph {

// The command's answer (1 done, -1 failed), or nothing for a code it does not handle.
std::optional<LONG> execute_graph_command(CAVFileBase& graph, LONG code, void* data);

// Writes a 32-bit out value; null is ignored.
void write_long(void* data, LONG value);

}
