#pragma once
// CTranscodeControl: the transcode engine's controller. It owns one
// CTranscodeBase and turns commands into its operations.
//
// Commands run on the command thread or, sent synchronously, on the caller's;
// either way one at a time. A listener must not send a synchronous command
// from inside an event: the sender may be waiting for the thread that reports it.

#include "components/common/controlengine/CBaseControl.h"
#include "platform/dshow/FilterRegistration.h"

#include <memory>
#include <mutex>

class CTranscodeBase;

class CTranscodeControl final : public CBaseControl {
public:
    // `make` creates filters by class id; `report_period_ms` paces the
    // position reports (4099).
    CTranscodeControl(plat::FilterMaker make, DWORD report_period_ms);
    ~CTranscodeControl() override;

    LONG GetType() override { return 7; }
    std::pair<LONG, LONG> GetVersion() override { return {17, 0}; }
    // Commands whose data a queue cannot copy (out values; paths and the
    // settings record without CONTROL_COPY_LENGTH) are refused when queued: 0.
    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override;
    LONG Execute(LONG code, void* data, LONG* length, DWORD flags) override;

private:
    LONG execute(LONG code, void* data, const LONG* length);

    std::mutex m_execute_lock;                // one command at a time
    std::unique_ptr<CTranscodeBase> m_graph;  // guarded by m_execute_lock
};
