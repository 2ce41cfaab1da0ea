#pragma once
// Recording doubles of the play controller and of what the play logic drives.

#include "components/common/controlengine/IBaseControl.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "playback/playlogic/PlayLogicHost.h"
#include "outside/filters/ISampleReader.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace playtest {

// One command as the controller saw it: its code and the value it carried.
struct Command {
    LONG code;
    LONG value = 0;          // the LONG a data pointer pointed at
    PlayTaskInfo task;       // 12293
    void* pointer = nullptr; // 3, 4, 12295
};

// Tells its listener of the engine's start on 4109 at once, as a local file
// starts; with opens_late_as, from a thread of its own a while later, the
// media kind becoming that value just before.
class RecordingControl final : public IBaseControl {
public:
    ~RecordingControl();

    std::vector<Command> commands;
    std::map<LONG, LONG> results;       // default 1
    LONG version = 17;
    std::atomic<LONG> media_kind{0};
    std::optional<LONG> opens_late_as;
    LONG volume = 50;
    ISampleReader* reader = nullptr;

    std::vector<LONG> codes() const;
    LONG Notify(void*, LONG, INT_PTR, INT_PTR) override { return 0; }
    LONG GetType() override { return 6; }
    LONG SendCommand(LONG code, void* data, LONG* length, DWORD flags) override;
    LONG Execute(LONG, void*, LONG*, DWORD) override { return 0; }
    void AddListener(IBaseEventHandler*) override {}
    void Run() override {}
    std::pair<LONG, LONG> GetVersion() override { return {version, 0}; }

private:
    void tell_start();

    std::atomic<IBaseEventHandler*> m_listener{nullptr};
    std::thread m_opener;   // last: joined before the rest go
};

// Hands out one RecordingControl at a time and counts the releases.
struct ControlPool {
    static RecordingControl* next;     // what create gives (then null)
    static int created, released;
    static IBaseControl* create();
    static void release(IBaseControl* control);
};

class CountedReader final : public ISampleReader {
public:
    int refs = 1;
    HRESULT QueryInterface(const IID&, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ULONG(++refs); }
    ULONG Release() override { return ULONG(--refs); }
    LONG Read(LONGLONG, BYTE*, LONG) override { return 0; }
};

// Records each call as one line; a screen call made without UIRenderMutex
// held is recorded as an error.
class RecordingHost final : public UI::PlayLogicHost {
public:
    std::vector<std::string> calls;
    std::vector<std::string> unguarded;
    IOstrel* downloader = nullptr;
    bool hd_enabled = false, hd_switch = false;
    std::string folder = "/nowhere";
    std::optional<float> remembered;
    ISampleReader* visualised = nullptr;

    bool saw(const std::string& call) const;
    void clear() { std::scoped_lock hold(m_lock); calls.clear(); }

    IOstrel* Downloader() override { return downloader; }
    bool HighDefinitionEnabled() override { return hd_enabled; }
    std::string DownloadFolder() override { return folder; }
    HWND MainWindow() override { return nullptr; }
    void SetVideoSize(int width, int height, float ratio) override;
    void SetPlayState(int state) override { record("state " + std::to_string(state), false); }
    void OnPlayComplete() override { record("complete", false); }
    void SeekTo(int seconds) override { record("seek " + std::to_string(seconds), false); }
    void ShowPlayButton() override { record("show play", true); }
    void ShowPauseButton() override { record("show pause", true); }
    void ShowStopped() override { record("show stop", true); }
    void SetPosition(LONGLONG s) override { record("position " + std::to_string(s), true); }
    void SetDuration(LONGLONG s) override { record("duration " + std::to_string(s), true); }
    void SetTitle(const std::u16string& title) override;
    void SetVideoPosition(LONGLONG s) override { record("video position " + std::to_string(s), true); }
    void ShowLoadingMark(bool shown) override { record(shown ? "loading mark" : "no loading mark", true); }
    void ShowLoadingState() override { record("loading state", true); }
    void SetDownloadBar(LONGLONG p, LONGLONG l, LONGLONG t) override;
    bool HighDefinitionSwitchOn() override { return hd_switch; }
    std::optional<float> RememberedPosition() override { return remembered; }
    void SetVideoLayerMode(int mode) override { record("layer " + std::to_string(mode), true); }
    void SetSampleReader(ISampleReader* reader) override;

private:
    void record(const std::string& call, bool screen);
    mutable std::mutex m_lock;
};

}
