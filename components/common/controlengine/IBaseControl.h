#pragma once
// The seven-slot command interface of the control engines (and of the outside
// video engine), with the command and event codes that cross it.

#include "components/common/controlengine/IBaseEventHandler.h"

#include <utility>

class ICorvaNotify {
public:
    // Slot 0: hands one event to every listener.
    virtual LONG Notify(void* sender, LONG code, INT_PTR value, INT_PTR extra) = 0;

protected:
    ~ICorvaNotify() = default;
};

// SendCommand flags.
inline constexpr DWORD CONTROL_ASYNC = 0x1;          // queue for the command thread
inline constexpr DWORD CONTROL_COPY_LENGTH = 0x2;    // with CONTROL_ASYNC: copy *length bytes of data

class IBaseControl : public ICorvaNotify {
public:
    virtual LONG GetType() = 0;                                                    // slot 1
    virtual LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) = 0;  // slot 2
    virtual LONG Execute(LONG code, void* data, LONG* length, DWORD flags) = 0;      // slot 3
    virtual void AddListener(IBaseEventHandler* listener) = 0;                      // slot 4
    virtual void Run() = 0;                                                        // slot 5
    // Slot 6: the first value is a capability word; bit 0x10 allows seeking.
    virtual std::pair<LONG, LONG> GetVersion() = 0;

protected:
    ~IBaseControl() = default;
};

// Command codes.
inline constexpr LONG CMD_END_THREAD = 1;
inline constexpr LONG CMD_GET_VERSION = 2;
inline constexpr LONG CMD_ADD_LISTENER = 3;
inline constexpr LONG CMD_REMOVE_LISTENER = 4;
inline constexpr LONG CMD_INIT = 4096;
inline constexpr LONG CMD_CLOSE = 4097;
inline constexpr LONG CMD_RUN = 4098;
inline constexpr LONG CMD_PAUSE = 4099;
inline constexpr LONG CMD_STOP = 4100;
inline constexpr LONG CMD_SEEK = 4103;
inline constexpr LONG CMD_SET_VOLUME = 4104;
inline constexpr LONG CMD_GET_VOLUME = 4105;
inline constexpr LONG CMD_MUTE = 4106;
inline constexpr LONG CMD_PLAY_LIST = 4109;
inline constexpr LONG CMD_GET_PLAY_STATE = 4110;
inline constexpr LONG CMD_SOURCE = 12289;
inline constexpr LONG CMD_GET_MEDIA_KIND = 12290;
inline constexpr LONG CMD_SAMPLE_READER = 12291;
inline constexpr LONG CMD_PLAY_NOW = 12293;
inline constexpr LONG CMD_APPEND = 12294;
inline constexpr LONG CMD_SET_DOWNLOADER = 12295;
inline constexpr LONG CMD_SET_ITEM_STORE = 12296;
inline constexpr LONG CMD_OUTPUT = 28672;
inline constexpr LONG CMD_OUTPUT_SETTINGS = 28673;
