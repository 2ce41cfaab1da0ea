#pragma once
// A thread-safe first-in first-out queue of message records: any thread
// posts, the owner's worker receives, optionally waiting with a time-out.

#include "platform/base/Types.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// Base of the objects a message may carry; the queue deletes those it drops.
class tParamObject {
public:
    virtual ~tParamObject() = default;
};

class tCommand;

// A message record. Copies are shallow: both point to the same data buffer
// and parameter object. Words are pointer-sized: senders put pointers in them.
struct tCommandMessage {
    std::uintptr_t words[16]{};        // word 4 is the message id
    BYTE* data{nullptr};
    DWORD data_length{0};
    tCommand* reply{nullptr};          // the receiver posts one message here once it handled this one
    bool borrowed{true};               // false when the message owns data (array delete)
    tParamObject* param{nullptr};

    DWORD Id() const { return static_cast<DWORD>(words[4]); }
    void SetId(DWORD id) { words[4] = id; }
    // Deletes the parameter object and clears the pointer.
    void ReleaseParam();
};

inline constexpr DWORD COMMAND_END_MESSAGE = 0xFFFFFFFF;   // stops the owner's own loop
inline constexpr DWORD COMMAND_TIMEOUT_MESSAGE = 5;       // what a receive that timed out yields

class tCommand {
public:
    tCommand() = default;
    virtual ~tCommand();
    tCommand(const tCommand&) = delete;
    tCommand& operator=(const tCommand&) = delete;

    // Appends a copy. With wait, blocks until the receiver answers on a reply queue
    // made for the call. Returns 0.
    int Post(tCommandMessage message, bool wait);
    // -1: nothing queued and wait is false. 0: the end message. 1: any other message,
    // or id 5 when a wait of `timeout` ms (0: no limit) ran out.
    int Receive(tCommandMessage& out, bool wait, DWORD timeout);

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<tCommandMessage> m_queue;   // guarded by m_lock
};
