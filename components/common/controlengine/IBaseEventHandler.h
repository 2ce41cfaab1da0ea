#pragma once
// The event callback through which the control engines and the download
// manager report to the application's logic objects.

#include "platform/base/Types.h"

// Values that may carry a pointer (an engine's item record, a pointer to a
// 64-bit position) are pointer-sized; the sender is whatever record the source
// names and is only valid for the duration of the call.
class IBaseEventHandler {
public:
    // Slot 0. Answers 0 when handled; a handler that does not know the sender may answer -1.
    virtual LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) = 0;

protected:
    ~IBaseEventHandler() = default;
};

// Event codes.
inline constexpr LONG EVT_START_PLAYING = 4097;
inline constexpr LONG EVT_END_PLAYING = 4098;
inline constexpr LONG EVT_POSITION = 4099;
inline constexpr LONG EVT_RUNNING = 4100;
inline constexpr LONG EVT_PAUSED = 4101;
inline constexpr LONG EVT_STOPPED = 4102;
inline constexpr LONG EVT_COMPLETE = 4103;
inline constexpr LONG EVT_GRAPH_FAILED = 4104;
inline constexpr LONG EVT_DURATION = 4105;
inline constexpr LONG EVT_KEEP_AWAKE = 4106;
inline constexpr LONG EVT_BUFFERING = 8193;
inline constexpr LONG EVT_DATA_ARRIVED = 8198;
inline constexpr LONG EVT_VIDEO_SIZE = 12289;
inline constexpr LONG EVT_MOVE_DOWNLOAD = 12290;
inline constexpr LONG EVT_DURATION_2 = 16385;
inline constexpr LONG EVT_POSITION_2 = 16386;
inline constexpr LONG EVT_DOWNLOAD_STATE = 36865;
inline constexpr LONG EVT_DOWNLOAD_PROGRESS = 36866;
inline constexpr LONG EVT_PLAY_PROGRESS = 36869;

// Values of EVT_DOWNLOAD_STATE.
inline constexpr LONG DOWNLOAD_FINISHED = 4;
inline constexpr LONG DOWNLOAD_FAILED = 6;
