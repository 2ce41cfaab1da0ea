#pragma once
// The play logic's surroundings in the running program: the application
// controller through the calls it hands over, and the player's screens (the
// control bar, the video play window, the video layer and the visualisation).
// The bar, the video window and the layer are found when needed, so calls
// made before the widget tree exists, or after it went, change nothing.

#include "playback/playlogic/PlayLogicHost.h"

#include <functional>

class CVisualizationSource;

namespace UI {

class ScreensPlayHost final : public PlayLogicHost {
public:
    // What the application controller answers and is told; an empty call
    // answers null or false and is told nothing.
    struct Controller {
        std::function<IOstrel*()> downloader;
        std::function<bool()> high_definition;
        std::function<void(int width, int height, float ratio)> video_size;
        std::function<void(int state)> play_state;
        std::function<void()> play_complete;
        std::function<void(int seconds)> seek;
    };

    // The visualisation is not owned and may be null.
    ScreensPlayHost(Controller controller, std::string download_folder, HWND main_window,
                    CVisualizationSource* visualization);

    IOstrel* Downloader() override;
    bool HighDefinitionEnabled() override;
    std::string DownloadFolder() override { return m_download_folder; }
    HWND MainWindow() override { return m_main_window; }
    void SetVideoSize(int width, int height, float ratio) override;
    void SetPlayState(int state) override;
    void OnPlayComplete() override;
    void SeekTo(int seconds) override;

    void ShowPlayButton() override;
    void ShowPauseButton() override;
    void ShowStopped() override;
    void SetPosition(LONGLONG seconds) override;
    void SetDuration(LONGLONG seconds) override;
    void SetTitle(const std::u16string& title) override;

    void SetVideoPosition(LONGLONG seconds) override;
    void ShowLoadingMark(bool shown) override;
    void ShowLoadingState() override;
    void SetDownloadBar(LONGLONG position, LONGLONG length, LONGLONG total) override;
    // The video window offers no quality switch: standard definition.
    bool HighDefinitionSwitchOn() override { return false; }
    // The video window keeps no position of its own to come back to.
    std::optional<float> RememberedPosition() override { return std::nullopt; }

    void SetVideoLayerMode(int mode) override;
    void SetSampleReader(ISampleReader* reader) override;

private:
    Controller m_controller;
    const std::string m_download_folder;
    const HWND m_main_window;
    CVisualizationSource* const m_visualization;    // the player's
};

}
