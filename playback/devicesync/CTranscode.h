#pragma once
// One transcode of a downloaded video into an ".mp4" for the music player,
// through the transcode engine. The engine writes beside the output, to the
// output's name plus ".part"; Finish moves that file onto the output once the
// engine has said it is complete. So a source that has the output's own name
// is never overwritten by a half-written file, and a failed run leaves no
// ".mp4" behind.

#include "components/common/controlengine/IBaseControl.h"

#include <atomic>
#include <functional>
#include <string>

class CTranscode final : public IBaseEventHandler {
public:
    // How the engine is made and freed (tests give a double).
    struct Engine {
        std::function<IBaseControl*()> create;
        std::function<void(IBaseControl*)> release;
    };
    enum class Outcome { Running, Completed, Failed };

    // `ended` runs once, on the engine's thread, when the engine reports the
    // end of the run (4103) or its failure (4104).
    CTranscode(Engine engine, std::function<void()> ended);
    // Removes itself as listener and frees the engine.
    ~CTranscode();
    CTranscode(const CTranscode&) = delete;
    CTranscode& operator=(const CTranscode&) = delete;

    // Creates the engine (once), listens to it, gives it the source and the
    // temporary output and runs it: true when the run started (4098 gave 1).
    bool Start(const std::u16string& source, const std::u16string& output);
    // 4100 then 4097; false without an engine.
    bool Stop();
    bool IsRunning() const { return m_engine != nullptr; }
    // After Stop: the completed file moves onto the output (true), or the
    // temporary file of a run that did not complete is removed (false).
    bool Finish();

    Outcome GetOutcome() const { return m_outcome; }
    // position * 100 / duration; 0 while the duration is not positive.
    int Percent() const;

    // The engine's events; another sender gets -1.
    LONG OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra) override;

    static std::u16string TemporaryName(const std::u16string& output) { return output + u".part"; }

private:
    Engine m_engine_maker;
    std::function<void()> m_ended;
    IBaseControl* m_engine{nullptr};   // owned; released through m_engine_maker
    std::u16string m_output;
    std::atomic<LONGLONG> m_position{0};   // seconds, written on the engine's thread
    std::atomic<LONGLONG> m_duration{0};
    std::atomic<Outcome> m_outcome{Outcome::Running};
};
