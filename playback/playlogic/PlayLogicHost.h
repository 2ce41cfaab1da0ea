#pragma once
// What the file play logic drives around it: the application controller's
// playback state, the control bar, the video window and the video layer. The
// controller gives one to the play logic it creates; tests give a recorder.
//
// The play logic calls the screen operations (control bar, video window,
// video layer) holding UIRenderMutex, whatever thread it runs on (the logic
// thread for commands, the play controller's threads for events), and the
// controller operations without it.

#include "platform/base/Types.h"
#include "platform/window/Handles.h"

#include <optional>
#include <string>

class IOstrel;
struct ISampleReader;

namespace UI {

class PlayLogicHost {
public:
    virtual ~PlayLogicHost() = default;

    // The application controller.
    virtual IOstrel* Downloader() = 0;                          // null without a download manager
    virtual bool HighDefinitionEnabled() = 0;                   // its high-definition byte
    virtual std::string DownloadFolder() = 0;                   // UTF-8, where downloads are saved
    virtual HWND MainWindow() = 0;                              // owner of the dialogs, target of 17429
    virtual void SetVideoSize(int width, int height, float ratio) = 0;
    virtual void SetPlayState(int state) = 0;                   // 1 playing, 2 paused, 3 stopped
    virtual void OnPlayComplete() = 0;
    virtual void SeekTo(int seconds) = 0;                       // through the controller's own seek

    // The control bar.
    virtual void ShowPlayButton() = 0;                          // paused or stopped: play resumes
    virtual void ShowPauseButton() = 0;                         // playing
    virtual void ShowStopped() = 0;
    virtual void SetPosition(LONGLONG seconds) = 0;
    virtual void SetDuration(LONGLONG seconds) = 0;
    virtual void SetTitle(const std::u16string& title) = 0;

    // The video window.
    virtual void SetVideoPosition(LONGLONG seconds) = 0;
    virtual void ShowLoadingMark(bool shown) = 0;
    virtual void ShowLoadingState() = 0;
    // Bytes from position to position + length of total are there.
    virtual void SetDownloadBar(LONGLONG position, LONGLONG length, LONGLONG total) = 0;
    virtual bool HighDefinitionSwitchOn() = 0;
    virtual std::optional<float> RememberedPosition() = 0;      // seconds

    // The video layer: 1 video, 2 the visualisation of audio-only media.
    virtual void SetVideoLayerMode(int mode) = 0;
    // The visualisation reads from reader from now on (it takes its own count; null stops it).
    virtual void SetSampleReader(ISampleReader* reader) = 0;
};

}
