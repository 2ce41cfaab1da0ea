#pragma once
// The installer download of the self update: one GET of the installer URL on
// a thread of its own, written to the target file as it arrives, with the
// percent done and the result for the progress dialog to poll.

#include "core/http/HttpConnection.h"
#include "platform/base/HResult.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// What a download that ended without the whole file gives.
inline constexpr HRESULT INET_E_DOWNLOAD_FAILURE = hresult(0x800C0008);

class CUpdateProgress final : public LibUtil::HttpObserver {
public:
    CUpdateProgress() = default;
    ~CUpdateProgress();   // cancels a running download
    CUpdateProgress(const CUpdateProgress&) = delete;
    CUpdateProgress& operator=(const CUpdateProgress&) = delete;

    // Deletes any file at the previous target path. The target's folder must
    // be one only this user can write.
    void SetTarget(const std::string& path);
    void SetURL(const std::string& url) { m_url = url; }
    // A longer installer fails the download.
    void SetSizeLimit(std::uint64_t bytes) { m_limit = bytes; }
    const std::string& Target() const { return m_target; }

    // Starts the download thread; a download already running is cancelled first.
    void Start();
    // Stops the transfer at its next progress call and waits for the thread.
    void Cancel();

    // 0..100; 100 only once the whole installer is in the target file.
    LONG Percent() const { return m_percent.load(); }
    // E_FAIL until the download has ended; then S_OK, E_ABORT when cancelled,
    // or INET_E_DOWNLOAD_FAILURE.
    HRESULT Result() const { return m_result.load(); }

    bool OnProgress(std::uint64_t received, std::uint64_t total) noexcept override;
    void OnDone() noexcept override {}
    void OnFailed(int) noexcept override {}

private:
    void download() noexcept;
    HRESULT fetch_into(int file) noexcept;

    std::string m_target;
    std::string m_url;
    std::uint64_t m_limit = 0;
    std::atomic<LONG> m_percent{0};
    std::atomic<HRESULT> m_result{E_FAIL};
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;   // last: joined before the fields it writes go
};
