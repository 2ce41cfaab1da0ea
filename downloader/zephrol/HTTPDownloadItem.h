#pragma once
// The HTTP slave of the segmented downloader: one libcurl easy handle and one
// worker thread that fetch a URL as a whole file, as runs of ranged segments
// for a segment master, as one progressive whole-file download that feeds
// the master's segments, or as a probe of whether the server answers ranges.

#include "downloader/zephrol/Interfaces.h"

#include "components/common/baseinterface/StreamBuffer.h"
#include "components/common/services/LogFile.h"
#include "platform/fs/UniqueFd.h"
#include "platform/net/WebTransfer.h"
#include "platform/sync/Event.h"

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>


class tHTTPDownloadItem : public tBaseObject<IHTTPDownload, ICorvaDownloadItem, ISegmentSlave> {
public:
    tHTTPDownloadItem();
    ~tHTTPDownloadItem() override;

    // IHTTPDownload
    BaseResult Init() noexcept override;
    BaseResult Uninit() noexcept override;
    BaseResult SetUserAgent(const char* agent) noexcept override;
    BaseResult SetURL(const char* url) noexcept override;
    BaseResult SetFilePath(const WCHAR* path) noexcept override;
    BaseResult SetSiteSeek(bool allowed) noexcept override;
    BaseResult GetRangeState() noexcept override;
    BaseResult SetTotalSize(DWORD total) noexcept override;
    BaseResult SetFallback(bool on) noexcept override;
    BaseResult SetMode(int mode) noexcept override;

    // ICorvaDownloadItem
    BaseResult Start() noexcept override;
    BaseResult Stop() noexcept override;
    BaseResult Pause() noexcept override { return RESULT_FAIL; }
    BaseResult Seek(DWORD) noexcept override { return RESULT_FAIL; }
    BaseResult SetRate(DWORD) noexcept override { return RESULT_FAIL; }
    BaseResult GetProgress(DWORD* downloaded, DWORD* percent) noexcept override;
    BaseResult GetTotalSize(DWORD* total) noexcept override;
    BaseResult GetState(DWORD* state) noexcept override;
    BaseResult GetSpeed(DWORD* speed) noexcept override;
    BaseResult SetEventHandler(ICorvaEventHandler* handler, std::intptr_t context) noexcept override;

    // ISegmentSlave
    BaseResult SetSegmentMode(bool on) noexcept override;
    BaseResult SetSegmentSize(DWORD size) noexcept override;
    BaseResult AssignSegments(const tSegmentRecord* records, DWORD count) noexcept override;
    BaseResult SetMaster(ISegmentMaster* master) noexcept override;
    BaseResult ClearSegments() noexcept override;

    // libcurl's callbacks, reached through the C trampolines of the .cpp.
    std::size_t on_body(const char* bytes, std::size_t length) noexcept;
    std::size_t on_header(const char* line, std::size_t length) noexcept;
    int on_progress() noexcept;

private:
    // A master's segment buffer being filled; offset all ones marks a buffer that is not a segment.
    struct tSegmentStreamBuffer {
        tStreamBuffer buffer;
        DWORD offset;
    };

    void run() noexcept;
    void download_file();
    int download_segments();
    int segment_cycle();
    void finish_run();
    void download_progressive();
    bool start_transfer();
    void deliver_progressive();
    void end_transfer();
    void transfer_progressive() noexcept;
    void probe_range();
    std::size_t write_segments(const char* bytes, std::size_t length);
    std::size_t write_progressive(const char* bytes, std::size_t length);
    std::size_t refuse_body(DWORD reason);
    bool body_status_expected(long code) const;
    void check_range_header(std::string_view value);
    void check_length_header(std::string_view value);
    int perform(const std::string& url, const char* range);
    void take_effective_url();
    void send_event(const tCorvaEvent& event);
    void request_reassign();
    bool wait_for_work();
    void log(DWORD level, const std::string& text);
    void join_worker();

    std::recursive_mutex m_lock;    // guards every field below unless marked otherwise
    std::atomic<int> m_running{0};
    std::string m_user_agent{"Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)"};
    DWORD m_total{0};
    DWORD m_downloaded{0};
    DWORD m_last_progress{0};
    plat::EasyHandle m_easy;
    std::string m_url;
    std::string m_alt_url;
    char m_error[256]{};            // written by libcurl on the performing thread
    ICorvaEventHandler* m_handler{nullptr};
    std::intptr_t m_context{0};
    std::string m_file_path;
    plat::UniqueFd m_file;
    std::atomic<int> m_mode{MODE_DOWNLOAD_FILE};
    ISegmentMaster* m_master{nullptr};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_cleared{false};
    DWORD m_segment_size{SEGMENT_BYTES};
    std::deque<tSegmentStreamBuffer> m_queue;
    DWORD m_first_byte{0};
    DWORD m_last_byte{0};
    DWORD m_request_first{0};       // the run the reply in flight was asked for
    DWORD m_request_last{0};
    plat::Event m_work{plat::EventReset::Auto, plat::EventState::Clear};
    bool m_site_seek{false};
    bool m_site_seek_allowed{false};
    tSegmentStreamBuffer m_header_buffer;
    DWORD m_abort_reason{0};
    DWORD m_range_state{PARTIAL_UNDETERMINED};
    plat::UniqueFd m_temp_file;
    std::string m_temp_path;
    long m_response_code{0};
    bool m_range_seen{false};       // the current reply's Content-Range was read
    DWORD m_range_start{0};
    std::atomic<bool> m_fallback{false};
    std::atomic<bool> m_transfer_done{false};   // the progressive transfer ended
    std::atomic<bool> m_transfer_ok{false};     // ... and fetched the whole file
    tLogFile m_log;
    std::mutex m_start_lock;        // serialises starting and joining the worker
    std::atomic<bool> m_worker_active{false};
    std::thread m_transfer;         // owned by the worker: started and joined there
    std::thread m_worker;           // last member: joined before the rest go
};
