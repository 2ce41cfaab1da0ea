#pragma once
// A set of keyframes stepped together; when the last one has reached its
// target the keyframes are reset and the listener is told. Every operation
// holds the timeline's own lock, so one may be stepped while another is added.
//
// Keyframes given as unique_ptr belong to the timeline and are deleted by
// Clear; a keyframe given by reference lives in another object (a window's
// zoom, a list's scroll) and is never deleted here.

#include <memory>
#include <vector>

#include "platform/sync/Mutex.h"

namespace UI {

class keyframe;

class ATimeLineListener {
public:
    virtual ~ATimeLineListener() = default;
    virtual void OnTimeLineEnd(int value) = 0;
};

class ATimeLine {
public:
    ATimeLine() = default;
    virtual ~ATimeLine();
    ATimeLine(const ATimeLine&) = delete;
    ATimeLine& operator=(const ATimeLine&) = delete;

    // True when no keyframe is started or running.
    virtual bool IsDone();
    // Starts every idle keyframe; false while already running or when empty.
    virtual bool Start(int listener_value);
    virtual void AddKeyframe(std::unique_ptr<keyframe> k);
    virtual void AddKeyframe(keyframe& k);
    // Takes the first occurrence out; an owned keyframe comes back to the caller.
    virtual std::unique_ptr<keyframe> RemoveKeyframe(keyframe* k);
    virtual void Clear();
    // Steps every keyframe; when none still runs, resets them all and tells the listener.
    virtual bool Step(int ms);

    void SetListener(ATimeLineListener* listener, int value);
    int GetListenerValue() const { return m_listener_value; }
    std::size_t KeyframeCount();

private:
    struct Entry {
        keyframe* frame;
        bool owned;
    };
    void Add(Entry entry);

    plat::Mutex m_lock;
    std::vector<Entry> m_frames;                 // guarded by m_lock
    ATimeLineListener* m_listener{nullptr};      // not owned
    int m_listener_value{0};
};

}
