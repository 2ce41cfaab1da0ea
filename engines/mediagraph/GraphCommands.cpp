#include "engines/mediagraph/GraphCommands.h"

#include <cstring>

namespace mediagraph {

namespace {

LONG result(HRESULT hr) { return SUCCEEDED(hr) ? 1 : -1; }

}

void write_long(void* data, LONG value)
{
    if (data != nullptr) std::memcpy(data, &value, sizeof value);
}

std::optional<LONG> execute_graph_command(CAVFileBase& graph, LONG code, void* data)
{
    switch (code) {
    case CMD_CLOSE: return result(graph.Close());
    case CMD_RUN: return result(graph.Play());
    case CMD_PAUSE: graph.Pause(); return 1;
    case CMD_STOP: return result(graph.Stop());
    case CMD_SET_VOLUME: {
        LONG volume = 0;
        if (data == nullptr) return -1;
        std::memcpy(&volume, data, sizeof volume);
        return result(graph.SetVolume(volume));
    }
    case CMD_GET_VOLUME: write_long(data, graph.GetVolume()); return 1;
    case CMD_MUTE: return data == nullptr ? -1 : result(graph.SetMute(*static_cast<const BYTE*>(data) != 0));
    case CMD_GET_MEDIA_KIND: write_long(data, graph.GetSplitterKind()); return 1;
    default: return std::nullopt;
    }
}

}
