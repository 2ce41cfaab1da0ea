#pragma once
// A peer-to-peer core for tests: its items serve a registered content to the
// segment master, one segment after another with a set delay, and can be
// told to refuse assignments, to fail after some segments, to refuse to
// start, and which total size to report. Every call is recorded.

#include "outside/nimbrel/Nimbrel.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct FakeP2PConfig {
    std::string content;             // what the peers have
    DWORD segment_delay_ms{0};       // before each segment is delivered
    bool refuse_assignments{false};
    DWORD fail_after{0};             // segments delivered before event 101; 0 never fails
    bool refuse_start{false};
    DWORD reported_total{0};         // GetTotalSize of each item
};

class FakeP2PItem;

class FakeP2PCore : public tBaseObject<IDownloadCore, IP2PSettings> {
public:
    explicit FakeP2PCore(FakeP2PConfig config);
    ~FakeP2PCore() override;

    BaseResult CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept override;
    BaseResult DeleteDownloadItem(ICorvaDownloadItem* item) noexcept override;

    BaseResult ApplySettings(const tP2PSettings& settings) noexcept override;
    BaseResult SetSharedContent(const tP2PContent& content, int on) noexcept override;
    BaseResult AnnounceContent(const tP2PContent& content) noexcept override;
    BaseResult EnableSharing(int on) noexcept override;

    // Every call so far, one line each ("Start", "AssignSegments 0-19", ...).
    std::vector<std::string> calls() const;
    bool called(const std::string& prefix) const;
    DWORD delivered() const;                 // segments handed to masters
    tP2PSettings last_settings() const;

    const FakeP2PConfig& config() const { return m_config; }
    void record(const std::string& call);
    void count_delivery();

private:
    const FakeP2PConfig m_config;
    mutable std::mutex m_lock;
    std::vector<std::string> m_calls;                    // guarded by m_lock
    DWORD m_delivered{0};                                // guarded by m_lock
    tP2PSettings m_settings{};                           // guarded by m_lock
    std::deque<std::unique_ptr<FakeP2PItem>> m_items;    // guarded by m_lock
};
