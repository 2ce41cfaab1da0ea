#pragma once
// What the feed updater tells about each channel it refreshes, on its own
// thread. Every OnBeginUpdate that said yes, and every user request, is
// answered by exactly one OnUpdated.

#include <cstdint>

class IRSSUpdateListener {
public:
    // False vetoes the update of that channel.
    virtual bool OnBeginUpdate(std::int64_t channel_id) = 0;
    virtual void OnUpdated(std::int64_t channel_id, bool success) = 0;

protected:
    ~IRSSUpdateListener() = default;
};
