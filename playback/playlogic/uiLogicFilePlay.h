#pragma once
// The play logic of local files, feed items and typed addresses: owns one
// play controller, turns its events into changes of the control bar, the
// video window and the application controller, and offers the transport
// operations the controller calls.
//
// Commands run on the controller's logic thread; events arrive on the play
// controller's threads. Fields both sides read are atomic or name their lock.

#include "components/common/controlengine/IBaseEventHandler.h"
#include "engines/wemble/PlayTaskInfo.h"
#include "core/controller/uiLogicParts.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class IBaseControl;

namespace RSSData {
struct tRSSItem;
}

namespace UI {

class PlayLogicHost;

// How the play logic makes and frees its play controller.
struct PlayControllerFactory {
    IBaseControl* (*create)();
    void (*release)(IBaseControl*);

    // The play controller library's exports.
    static PlayControllerFactory Wemble();
};

class uiLogicFilePlay final : public IBaseEventHandler, public uiLogicFilePlayBase {
public:
    // Creates the play controller at once. The host outlives the logic.
    explicit uiLogicFilePlay(PlayLogicHost& host, PlayControllerFactory factory = PlayControllerFactory::Wemble());
    // The same, owning its host.
    explicit uiLogicFilePlay(std::unique_ptr<PlayLogicHost> host,
                             PlayControllerFactory factory = PlayControllerFactory::Wemble());
    // Releases the play controller: no event arrives afterwards.
    ~uiLogicFilePlay() override;
    uiLogicFilePlay(const uiLogicFilePlay&) = delete;
    uiLogicFilePlay& operator=(const uiLogicFilePlay&) = delete;

    void InitEventNames() override;
    void CreateController() override;
    void ReleaseController() override;
    void Stop() override;
    // The bar then offers play: the button shows what the next press does.
    void Pause() override;
    void Play() override;
    void Replay() override;
    bool StopPlay() override;
    bool Resume() override;
    bool Restart() override;
    void Spare11() override;
    void Spare12() override;
    void SetVolume(int percent) override;
    int GetVolume() override;
    void Seek(LONGLONG seconds) override;
    LONG OnEvent(void* sender, LONG code, LONG state, intptr_t value) override;
    // IBaseEventHandler: the play controller's events.
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

    // A local file; true when playing started.
    bool PlayFile(const std::u16string& path) override;
    // A feed item: its downloaded copy when there is one, else its address.
    bool PlayVideoItem(const RSSData::tRSSItem& item) override;
    // The file-open dialog over the main window; plays the chosen file.
    bool OpenFile() override;
    // The address dialog over the main window; plays what was entered.
    bool OpenURL();
    // What the next press of play would reopen: a local path or an address.
    std::u16string CurrentPath() const;

private:
    LONG send(LONG code, void* data = nullptr);
    bool PlayTask(const PlayTaskInfo& task);
    void show_started(const std::u16string& title);
    bool begin_remote(const std::u16string& address);
    void expect_start();
    void wait_for_start();
    void set_current_path(const std::u16string& path);
    LONG base_event(LONG code, INT_PTR value, INT_PTR extra);
    template <class F> void on_screens(F&& change);

    std::unique_ptr<PlayLogicHost> m_owned_host;   // null when the caller keeps the host
    PlayLogicHost& m_host;
    const PlayControllerFactory m_factory;
    IBaseControl* m_control{nullptr};               // logic thread; released through m_factory
    LONG m_capability{1};                           // logic thread: bit 0x10 allows seeking
    std::atomic<LONGLONG> m_duration{0};            // seconds, from the controller's events
    std::map<LONG, std::u16string> m_event_names;   // filled once, read only afterwards
    mutable std::mutex m_path_lock;                 // leaf lock
    std::u16string m_current_path;                  // guarded by m_path_lock
    std::string m_current_url;                      // guarded by m_path_lock: its 8-bit form
    PlayTaskInfo m_task;                            // logic thread: the remote task in play
    // The controller takes a play on a thread of its own: the media kind is
    // known once its engine told of the start (or failure) of the play asked last.
    std::mutex m_start_lock;                        // leaf lock
    std::condition_variable m_start_told;
    bool m_started{false};                          // guarded by m_start_lock
};

}
