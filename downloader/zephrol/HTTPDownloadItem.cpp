#include "HTTPDownloadItem.h"

#include "DownloadExceptions.h"
#include "Format.h"

#include "components/common/services/LogSettings.h"
#include "components/common/services/RegRead.h"
#include "components/common/services/TempPath.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Time.h"
#include "platform/base/Utf.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The file header the video site puts in front of a seeked reply.
constexpr DWORD seek_header_bytes = 13;
constexpr DWORD not_a_segment = 0xFFFFFFFF;
constexpr DWORD probe_first = 1000;
constexpr DWORD probe_last = 2000;
constexpr int result_fallback = 4000;
constexpr DWORD progress_interval_ms = 2000;

// Why a callback stopped the transfer.
enum AbortReason : DWORD {
    ABORT_NONE = 0,
    ABORT_RUN_FILLED = 1,    // every assigned buffer is full (site seeking)
    ABORT_NO_BUFFER = 2,     // data arrived with no buffer assigned
    ABORT_STOPPED = 3,
    ABORT_MISMATCH = 4,      // the reply's status, size or range is not the one asked for
    ABORT_CLEARED = 5,
    ABORT_PROBE_DATA = 6,    // the probe got the first data of an accepted reply
    ABORT_ERROR_REPLY = 7,   // an error page: never data
};

constexpr const WCHAR* http_key = u"Software\\Corvalen\\HTTP";

const char* mode_name(int mode)
{
    switch (mode) {
    case MODE_DOWNLOAD_FILE: return "Download File";
    case MODE_DOWNLOAD_SEGMENT: return "Download Segment";
    case MODE_DOWNLOAD_PROGRESSIVE: return "Download Progressive Segment";
    case MODE_P2P: return "P2P Download";
    case MODE_TEST_PARTIAL: return "Test Partial Ability";
    default: return "";
    }
}

std::string_view trim_line(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

// Reads the unsigned decimal number at the first digit from `at` on; false when none fits 32 bits.
bool read_number(std::string_view text, std::size_t& at, DWORD& out)
{
    while (at < text.size() && !std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    if (at >= text.size()) return false;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), out);
    if (error != std::errc()) return false;
    at = static_cast<std::size_t>(end - text.data());
    return true;
}

bool is_success(long code) { return code >= 200 && code <= 206; }

std::size_t write_trampoline(char* bytes, std::size_t size, std::size_t count, void* item)
{
    return static_cast<tHTTPDownloadItem*>(item)->on_body(bytes, size * count);
}

std::size_t header_trampoline(char* line, std::size_t size, std::size_t count, void* item)
{
    return static_cast<tHTTPDownloadItem*>(item)->on_header(line, size * count);
}

int progress_trampoline(void* item, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<tHTTPDownloadItem*>(item)->on_progress();
}

}

tHTTPDownloadItem::tHTTPDownloadItem() : tBaseObject("tHTTPDownloadItem")
{
    RegisterInterface(ID_IBaseInterface, static_cast<ICorvaDownloadItem*>(this));
    RegisterInterface(ID_ICorvaDownloadItem, static_cast<ICorvaDownloadItem*>(this));
    RegisterInterface(ID_IHTTPDownload, static_cast<IHTTPDownload*>(this));
    RegisterInterface(ID_ISegmentSlave, static_cast<ISegmentSlave*>(this));
    m_header_buffer.buffer.Allocate(seek_header_bytes);
    m_header_buffer.offset = not_a_segment;
}

tHTTPDownloadItem::~tHTTPDownloadItem()
{
    Uninit();
    m_log.Close();
}

void tHTTPDownloadItem::log(DWORD level, const std::string& text)
{
    if (m_log.IsOpen()) m_log.Write(level, plat::utf8_to_utf16(text));
}


BaseResult tHTTPDownloadItem::Init() noexcept
{
    std::scoped_lock hold(m_lock);
    if (m_easy) return RESULT_OK;
    if (!m_log.IsOpen()) OpenLogFromSettings(m_log, this);
    // http and https only, a bounded redirect chain, no signals: every web transfer's set-up.
    m_easy = plat::open_web_transfer("");
    if (!m_easy) return RESULT_FAIL;
    CURL* e = m_easy.get();
    const CURLcode checked[] = {
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, m_error),
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &write_trampoline),
        curl_easy_setopt(e, CURLOPT_WRITEDATA, this),
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 20L),
        curl_easy_setopt(e, CURLOPT_USERAGENT, m_user_agent.c_str()),
    };
    for (const CURLcode c : checked) {
        if (c == CURLE_OK) continue;
        m_easy.reset();
        return RESULT_FAIL;
    }
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 100L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 20L);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &progress_trampoline);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &header_trampoline);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    return RESULT_OK;
}

void tHTTPDownloadItem::join_worker()
{
    std::scoped_lock hold(m_start_lock);
    if (m_worker.joinable()) m_worker.join();
}

BaseResult tHTTPDownloadItem::Uninit() noexcept
{
    Stop();
    join_worker();
    std::scoped_lock hold(m_lock);
    m_easy.reset();
    m_temp_file.reset();
    if (!m_temp_path.empty()) ::unlink(m_temp_path.c_str());
    m_temp_path.clear();
    log(LOG_INFO, "HTTP Download Item is uninitialized.");
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetUserAgent(const char* agent) noexcept
{
    if (agent == nullptr) return RESULT_FAIL;
    std::scoped_lock hold(m_lock);
    m_user_agent = agent;
    if (m_easy && curl_easy_setopt(m_easy.get(), CURLOPT_USERAGENT, m_user_agent.c_str()) != CURLE_OK)
        return RESULT_FAIL;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetURL(const char* url) noexcept
{
    return guarded_call([&] {
        if (url == nullptr) return RESULT_FAIL;
        std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parts(curl_url(), &curl_url_cleanup);
        char* host = nullptr;
        if (!parts || curl_url_set(parts.get(), CURLUPART_URL, url, 0) != CURLUE_OK ||
            curl_url_get(parts.get(), CURLUPART_HOST, &host, CURLU_URLDECODE) != CURLUE_OK)
            return RESULT_FAIL;
        const std::string host_name(host);
        curl_free(host);
        const std::string seek_host = plat::utf16_to_utf8(ReadRegString(HKEY_LOCAL_MACHINE, http_key, u"SeekHost"));
        std::scoped_lock hold(m_lock);
        m_url = url;
        m_site_seek = m_site_seek_allowed && !seek_host.empty() && host_name == seek_host;
        m_range_state = m_site_seek ? PARTIAL_SUPPORTED : PARTIAL_UNDETERMINED;
        return RESULT_OK;
    });
}

BaseResult tHTTPDownloadItem::SetFilePath(const WCHAR* path) noexcept
{
    return guarded_call([&] {
        if (path == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        m_file_path = plat::utf16_to_utf8(path);
        return RESULT_OK;
    });
}

BaseResult tHTTPDownloadItem::SetSiteSeek(bool allowed) noexcept
{
    std::scoped_lock hold(m_lock);
    m_site_seek_allowed = allowed;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::GetRangeState() noexcept
{
    std::scoped_lock hold(m_lock);
    switch (m_range_state) {
    case PARTIAL_UNDETERMINED: return RESULT_UNDETERMINED;
    case PARTIAL_SUPPORTED: return RESULT_OK;
    default: return RESULT_FAIL;
    }
}

BaseResult tHTTPDownloadItem::SetTotalSize(DWORD total) noexcept
{
    std::scoped_lock hold(m_lock);
    m_total = total;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetFallback(bool on) noexcept
{
    m_fallback = on;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetMode(int mode) noexcept
{
    std::scoped_lock hold(m_lock);
    m_mode = mode;
    log(LOG_INFO, std::string("Set Download Mode: ") + mode_name(mode));
    if (mode == MODE_DOWNLOAD_PROGRESSIVE) {
        m_range_state = PARTIAL_UNSUPPORTED;
        m_site_seek = false;
    }
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::Start() noexcept
{
    return guarded_call([&] {
        {
            std::scoped_lock hold(m_lock);
            m_running = 1;
            plat::debug_log("HTTPDownloadItem Start to Downloading.\n");
            log(LOG_INFO, "HTTPDownloadItem Start to Downloading for " + m_url + ".");
        }
        std::scoped_lock hold(m_start_lock);
        if (m_worker_active) return RESULT_OK;
        if (m_worker.joinable()) m_worker.join();   // a worker that already ended
        m_worker_active = true;
        m_worker = std::thread(&tHTTPDownloadItem::run, this);
        return RESULT_OK;
    });
}

BaseResult tHTTPDownloadItem::Stop() noexcept
{
    m_stop = true;
    m_work.set();   // a worker waiting for work ends now
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::GetProgress(DWORD* downloaded, DWORD* percent) noexcept
{
    std::scoped_lock hold(m_lock);
    if (downloaded != nullptr) *downloaded = m_downloaded;
    if (percent != nullptr && m_total != 0) *percent = static_cast<DWORD>(ULONGLONG{m_downloaded} * 100 / m_total);
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::GetTotalSize(DWORD* total) noexcept
{
    if (total == nullptr) return RESULT_FAIL;
    std::scoped_lock hold(m_lock);
    *total = m_total;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::GetState(DWORD* state) noexcept
{
    if (state != nullptr) *state = static_cast<DWORD>(m_running.load());
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::GetSpeed(DWORD* speed) noexcept
{
    if (speed != nullptr) *speed = 0;
    return RESULT_FAIL;
}

BaseResult tHTTPDownloadItem::SetEventHandler(ICorvaEventHandler* handler, std::intptr_t context) noexcept
{
    std::scoped_lock hold(m_lock);
    m_handler = handler;
    m_context = context;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetSegmentMode(bool on) noexcept
{
    m_mode = on ? MODE_DOWNLOAD_SEGMENT : MODE_DOWNLOAD_FILE;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetSegmentSize(DWORD size) noexcept
{
    std::scoped_lock hold(m_lock);
    m_segment_size = size;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::AssignSegments(const tSegmentRecord* records, DWORD count) noexcept
{
    std::scoped_lock hold(m_lock);
    if (count == 0) {
        m_work.set();
        return RESULT_OK;
    }
    // One run at a time: a second one would change the range the reply in flight is checked against.
    if (records == nullptr || !m_queue.empty()) return RESULT_FAIL;
    ULONGLONG end = records[0].offset;
    for (DWORD i = 0; i < count; ++i) {
        if (records[i].offset != end) return RESULT_NOT_CONTIGUOUS;
        if (records[i].size == 0 || records[i].data == nullptr) return RESULT_SIZE_MISMATCH;
        end += records[i].size;
    }
    if (end - 1 > 0xFFFFFFFFull || (m_total != 0 && end - 1 >= m_total)) return RESULT_SIZE_MISMATCH;
    m_first_byte = records[0].offset;
    m_last_byte = static_cast<DWORD>(end - 1);
    if (m_site_seek && m_first_byte != 0) {
        m_header_buffer.buffer.SetPosition(0);
        tSegmentStreamBuffer header;
        header.buffer.Borrow(m_header_buffer.buffer.Data(), seek_header_bytes);
        header.offset = not_a_segment;
        m_queue.push_back(std::move(header));
    }
    for (DWORD i = 0; i < count; ++i) {
        tSegmentStreamBuffer b;
        b.buffer.Borrow(records[i].data, records[i].size);
        b.offset = records[i].offset;
        m_queue.push_back(std::move(b));
    }
    m_work.set();
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::SetMaster(ISegmentMaster* master) noexcept
{
    std::scoped_lock hold(m_lock);
    m_master = master;
    return RESULT_OK;
}

BaseResult tHTTPDownloadItem::ClearSegments() noexcept
{
    std::scoped_lock hold(m_lock);
    if (!m_queue.empty()) {
        m_queue.clear();
        m_cleared = true;
    }
    return RESULT_OK;
}

void tHTTPDownloadItem::send_event(const tCorvaEvent& event)
{
    std::scoped_lock hold(m_lock);
    if (m_handler != nullptr) m_handler->OnEvent(event, m_context);
}

void tHTTPDownloadItem::request_reassign()
{
    std::scoped_lock hold(m_lock);
    if (m_master != nullptr) m_master->RequestReassign(this);
}

bool tHTTPDownloadItem::wait_for_work()
{
    while (!m_stop) {
        if (m_work.wait(1000) == WAIT_OBJECT_0) return !m_stop;
    }
    return false;
}

// --- libcurl callbacks, on the thread that performs ---

std::size_t tHTTPDownloadItem::refuse_body(DWORD reason)
{
    m_abort_reason = reason;
    return 0;   // fewer bytes than offered: libcurl ends the transfer
}

bool tHTTPDownloadItem::body_status_expected(long code) const
{
    if (m_site_seek) return code == 200;
    return code == 206 && m_range_seen;
}

std::size_t tHTTPDownloadItem::on_body(const char* bytes, std::size_t length) noexcept
{
    try {
        std::scoped_lock hold(m_lock);
        long code = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &code);
        m_response_code = code;
        switch (m_mode) {
        case MODE_DOWNLOAD_FILE: {
            if (!is_success(code)) return refuse_body(ABORT_ERROR_REPLY);
            if (!m_file.valid()) return length;
            if (::write(m_file.get(), bytes, length) != static_cast<ssize_t>(length)) return 0;
            m_downloaded += static_cast<DWORD>(length);
            const DWORD now = GetTickCount();
            if (m_handler != nullptr && (now - m_last_progress >= progress_interval_ms || m_downloaded == m_total)) {
                const DWORD percent =
                    m_total == 0 ? 0 : static_cast<DWORD>((ULONGLONG{m_downloaded} * 100 + m_total / 2) / m_total);
                m_handler->OnEvent(tDownloadProgressEvent(m_downloaded, percent), m_context);
                m_last_progress = now;
            }
            return length;
        }
        case MODE_DOWNLOAD_SEGMENT:
        case MODE_DOWNLOAD_PROGRESSIVE:
            if (m_range_state == PARTIAL_UNSUPPORTED) {
                if (code != 200) return refuse_body(ABORT_ERROR_REPLY);
                return write_progressive(bytes, length);
            }
            // The buffers queued now may belong to a run assigned after this request was made.
            if (m_cleared) return refuse_body(ABORT_CLEARED);
            if (!body_status_expected(code)) {
                if (!is_success(code)) return refuse_body(ABORT_ERROR_REPLY);
                // The server answered the range request with something else (a whole file).
                m_range_state = PARTIAL_UNSUPPORTED;
                m_total = 0;
                return refuse_body(ABORT_MISMATCH);
            }
            if (m_range_state == PARTIAL_UNDETERMINED) {
                // A 206 that starts where the run asked is the proof a probe
                // looks for: the master may open its other connections.
                m_range_state = PARTIAL_SUPPORTED;
                if (m_handler != nullptr) m_handler->OnEvent(tDownloadPartialDetectEvent(PARTIAL_SUPPORTED), m_context);
            }
            return write_segments(bytes, length);
        case MODE_TEST_PARTIAL:
            if (!is_success(code)) return refuse_body(ABORT_ERROR_REPLY);
            if (m_site_seek ? code != 200 : !(code == 206 && m_range_seen && m_range_start == probe_first))
                return refuse_body(ABORT_MISMATCH);
            return refuse_body(ABORT_PROBE_DATA);
        default:
            return length;
        }
    } catch (...) {
        return 0;
    }
}

std::size_t tHTTPDownloadItem::write_segments(const char* bytes, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        if (m_queue.empty()) return refuse_body(ABORT_NO_BUFFER);
        tSegmentStreamBuffer& front = m_queue.front();
        tStreamBuffer& b = front.buffer;
        const DWORD filled = b.Position();
        const DWORD n = static_cast<DWORD>(std::min<std::size_t>(length - done, b.Capacity() - filled));
        const BYTE* at = reinterpret_cast<const BYTE*>(bytes) + done;
        if (front.offset < SEGMENT_BYTES && m_master != nullptr) m_master->FragmentData(front.offset + filled, at, n, this);
        b.WriteAt(filled, at, n);
        b.SetPosition(filled + n);
        done += n;
        if (b.Position() < b.Capacity()) continue;
        if (m_master != nullptr && front.offset != not_a_segment)
            m_master->SegmentDownloaded(tSegmentRecord{front.offset, b.Capacity(), b.Data()}, this);
        m_queue.pop_front();
        if (m_site_seek && m_queue.empty()) return refuse_body(ABORT_RUN_FILLED);
    }
    return length;
}

std::size_t tHTTPDownloadItem::write_progressive(const char* bytes, std::size_t length)
{
    if (!m_temp_file.valid()) return length;
    if (::pwrite(m_temp_file.get(), bytes, length, m_downloaded) != static_cast<ssize_t>(length)) return 0;
    m_downloaded += static_cast<DWORD>(length);
    // The worker hands a segment over as soon as the file holds it.
    if (!m_queue.empty() && ULONGLONG{m_downloaded} >= ULONGLONG{m_queue.front().offset} + m_queue.front().buffer.Capacity())
        m_work.set();
    return length;
}

void tHTTPDownloadItem::check_length_header(std::string_view value)
{
    std::size_t at = 0;
    DWORD length = 0;
    if (!read_number(value, at, length)) return;
    ULONGLONG total = length;
    if (m_site_seek && m_request_first != 0) {
        if (length < seek_header_bytes) return;
        total = ULONGLONG{length} - seek_header_bytes + m_request_first;
    }
    if (total > 0xFFFFFFFFull) return;
    if (m_total == 0) {
        m_total = static_cast<DWORD>(total);
    } else if ((m_mode == MODE_DOWNLOAD_SEGMENT || m_mode == MODE_TEST_PARTIAL) && m_site_seek && total != m_total) {
        m_abort_reason = ABORT_MISMATCH;
    }
}

void tHTTPDownloadItem::check_range_header(std::string_view value)
{
    std::size_t at = 0;
    DWORD start = 0;
    DWORD end = 0;
    DWORD total = 0;
    if (!read_number(value, at, start)) return;
    const std::size_t dash = value.find('-', at);
    if (dash == std::string_view::npos || !read_number(value, at = dash, end)) return;
    const std::size_t slash = value.find('/', at);
    if (slash != std::string_view::npos && !read_number(value, at = slash, total)) total = 0;
    m_range_seen = true;
    m_range_start = start;
    const DWORD known_total = m_total;
    if (m_total == 0) m_total = total;
    bool mismatch = false;
    if (m_mode == MODE_TEST_PARTIAL) {
        mismatch = start != probe_first;
    } else if (m_mode == MODE_DOWNLOAD_SEGMENT && !m_site_seek) {
        // A reply may end early only where the content ends.
        const bool ends_content = total != 0 && end == total - 1 && end < m_request_last;
        mismatch = start != m_request_first || (end != m_request_last && !ends_content) ||
                   (known_total != 0 && total != 0 && total != known_total);
    }
    if (mismatch) m_abort_reason = ABORT_MISMATCH;
}

std::size_t tHTTPDownloadItem::on_header(const char* line, std::size_t length) noexcept
{
    try {
        std::scoped_lock hold(m_lock);
        const std::string_view text = trim_line(std::string_view(line, length));
        log(LOG_DEBUG, "HEAD: " + std::string(text));
        if (plat::starts_with_nocase(text, "http/")) {
            m_range_seen = false;   // a new reply, e.g. after a redirect
            return length;
        }
        long code = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &code);
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) return length;
        const std::string_view name = text.substr(0, colon);
        const std::string_view value = text.substr(colon + 1);
        if (code == 200 && name.size() == 14 && plat::starts_with_nocase(name, "content-length"))
            check_length_header(value);
        else if (code == 206 && name.size() == 13 && plat::starts_with_nocase(name, "content-range"))
            check_range_header(value);
        return m_abort_reason == ABORT_MISMATCH ? 0 : length;
    } catch (...) {
        return 0;
    }
}

int tHTTPDownloadItem::on_progress() noexcept
{
    std::scoped_lock hold(m_lock);
    if (m_stop) {
        m_abort_reason = ABORT_STOPPED;
        return 1;
    }
    if (m_cleared && m_mode == MODE_DOWNLOAD_SEGMENT && m_range_state != PARTIAL_UNSUPPORTED) {
        m_abort_reason = ABORT_CLEARED;
        return 1;
    }
    return 0;
}

// --- the worker ---

int tHTTPDownloadItem::perform(const std::string& url, const char* range)
{
    CURL* e = nullptr;
    {
        std::scoped_lock hold(m_lock);
        if (!m_easy) throw HTTPException(HTTP_ERROR_OPTION, CURLE_FAILED_INIT);
        e = m_easy.get();
        m_abort_reason = ABORT_NONE;
        m_range_seen = false;
        m_response_code = 0;
        m_error[0] = '\0';
        curl_easy_setopt(e, CURLOPT_URL, url.c_str());
        curl_easy_setopt(e, CURLOPT_RANGE, range);
        log(LOG_DEBUG, "Request: " + url);
    }
    const CURLcode result = curl_easy_perform(e);
    long code = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &code);
    std::scoped_lock hold(m_lock);
    m_response_code = code;
    return result;
}

void tHTTPDownloadItem::take_effective_url()
{
    std::scoped_lock hold(m_lock);
    char* effective = nullptr;
    if (curl_easy_getinfo(m_easy.get(), CURLINFO_EFFECTIVE_URL, &effective) != CURLE_OK || effective == nullptr) return;
    std::string url(effective);
    const std::size_t start = url.find("start=");
    if (start != std::string::npos) {
        const std::size_t amp = url.find('&', start);
        url.erase(start, amp == std::string::npos ? std::string::npos : amp - start + 1);
    }
    if (!url.empty() && url.back() == '&') url.pop_back();
    m_alt_url = url;
}

void tHTTPDownloadItem::run() noexcept
{
    try {
        switch (m_mode) {
        case MODE_DOWNLOAD_FILE: download_file(); break;
        case MODE_DOWNLOAD_SEGMENT:
            if (download_segments() == result_fallback) {
                plat::debug_log("The Site don't support multi-thread downloading, start progress download\n");
                download_progressive();
            }
            break;
        case MODE_DOWNLOAD_PROGRESSIVE: download_progressive(); break;
        case MODE_TEST_PARTIAL: probe_range(); break;
        default: break;
        }
    } catch (...) {
        plat::debug_log("HTTP download item fail: worker ended by an error\n");
    }
    m_stop = false;
    m_running = 0;
    send_event(tCorvaEvent(EVENT_STOPPED));
    m_worker_active = false;
}

void tHTTPDownloadItem::download_file()
{
    try {
        std::string path;
        std::string url;
        {
            std::scoped_lock hold(m_lock);
            path = m_file_path;
            url = m_url;
            m_file = plat::UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
            if (!m_file.valid()) throw GeneralException(16);
        }
        const int result = perform(url, nullptr);
        const long code = m_response_code;
        if (result == CURLE_OK && is_success(code)) {
            m_file.reset();
            send_event(tCorvaEvent(EVENT_COMPLETE));
        } else if (m_abort_reason != ABORT_STOPPED) {
            throw HTTPException(HTTP_ERROR_TRANSFER, static_cast<DWORD>(result), static_cast<DWORD>(code));
        }
        m_file.reset();
    } catch (const BaseException&) {
        m_file.reset();
        send_event(tDownloadFailEvent(0));
        plat::debug_log("HTTP download item fail: file error");
    }
}

int tHTTPDownloadItem::download_segments()
{
    while (!m_stop) {
        request_reassign();
        if (!wait_for_work()) return 0;
        try {
            const int result = segment_cycle();
            if (result != 0) return result;
        } catch (const HTTPException& e) {
            finish_run();
            send_event(tDownloadFailEvent(e.SubCode()));
            plat::debug_log(format_text("HTTP download item fail: code = %d, response_code = %d\n",
                                        static_cast<int>(e.CurlCode()), static_cast<int>(e.ResponseCode())));
            plat::debug_log(m_error);
        }
    }
    return 0;
}

// One ranged request for the queued run. 0 when the run is done, 1 when
// stopped, 4000 when the server turned out to ignore ranges and the
// progressive fallback is on.
int tHTTPDownloadItem::segment_cycle()
{
    std::string url;
    std::string range;
    {
        std::scoped_lock hold(m_lock);
        if (m_queue.empty()) return 0;   // cleared before the request was made
        m_cleared = false;
        m_request_first = m_first_byte;
        m_request_last = m_last_byte;
        const std::string& base = m_alt_url.empty() ? m_url : m_alt_url;
        url = base;
        if (!m_site_seek) range = format_text("%u-%u", m_first_byte, m_last_byte);
        else if (m_first_byte != 0) url += format_text("&start=%u", m_first_byte);
    }
    const int result = perform(url, range.empty() ? nullptr : range.c_str());
    const long code = m_response_code;
    if (result == CURLE_WRITE_ERROR || result == CURLE_ABORTED_BY_CALLBACK) {
        switch (m_abort_reason) {
        case ABORT_RUN_FILLED:
            take_effective_url();
            send_event(tCorvaEvent(EVENT_COMPLETE));
            break;
        case ABORT_STOPPED: finish_run(); return 1;
        case ABORT_MISMATCH:
            {
                std::scoped_lock hold(m_lock);
                m_range_state = PARTIAL_UNSUPPORTED;
            }
            if (m_fallback) return result_fallback;
            throw HTTPException(HTTP_ERROR_RANGE_REFUSED, static_cast<DWORD>(result), static_cast<DWORD>(code));
        case ABORT_NO_BUFFER:
        case ABORT_CLEARED: break;
        default: throw HTTPException(HTTP_ERROR_TRANSFER, static_cast<DWORD>(result), static_cast<DWORD>(code));
        }
        m_cleared = false;
    } else if (result != CURLE_OK || !body_status_expected(code)) {
        throw HTTPException(HTTP_ERROR_TRANSFER, static_cast<DWORD>(result), static_cast<DWORD>(code));
    } else {
        {
            std::scoped_lock hold(m_lock);
            m_range_state = PARTIAL_SUPPORTED;
        }
        take_effective_url();
        send_event(tCorvaEvent(EVENT_COMPLETE));
    }
    finish_run();
    return 0;
}

// Empties the queue; segments still in it go back to the master, which hands them out again.
void tHTTPDownloadItem::finish_run()
{
    std::scoped_lock hold(m_lock);
    for (const tSegmentStreamBuffer& b : m_queue) {
        if (m_master == nullptr || b.offset == not_a_segment) continue;
        m_master->SegmentRefused(tSegmentRecord{b.offset, b.buffer.Capacity(), b.buffer.Data()}, this);
    }
    m_queue.clear();
    m_first_byte = 0;
    m_last_byte = 0;
}

// --- progressive download: one whole-file transfer feeds the queued segments ---

bool tHTTPDownloadItem::start_transfer()
{
    std::scoped_lock hold(m_lock);
    m_temp_file.reset();
    if (!m_temp_path.empty()) ::unlink(m_temp_path.c_str());
    m_temp_path = MakeTempFilePath("DownloadTemp");
    if (m_temp_path.empty()) return false;
    m_temp_file = plat::UniqueFd(::open(m_temp_path.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC));
    if (!m_temp_file.valid()) return false;
    m_downloaded = 0;
    m_transfer_done = false;
    m_transfer_ok = false;
    m_transfer = std::thread(&tHTTPDownloadItem::transfer_progressive, this);
    return true;
}

void tHTTPDownloadItem::transfer_progressive() noexcept
{
    bool ok = false;
    try {
        std::string url;
        {
            std::scoped_lock hold(m_lock);
            url = m_url;
        }
        const int result = perform(url, nullptr);
        std::scoped_lock hold(m_lock);
        ok = result == CURLE_OK && m_response_code == 200;
        if (!ok && m_abort_reason != ABORT_STOPPED)
            plat::debug_log(format_text("HTTP progressive transfer fail: code = %d, response_code = %d\n", result,
                                        static_cast<int>(m_response_code)));
    } catch (...) {
        ok = false;
    }
    m_transfer_ok = ok;
    m_transfer_done = true;
    m_work.set();   // what is left is delivered, or given back, now
}

void tHTTPDownloadItem::end_transfer()
{
    if (m_transfer.joinable()) m_transfer.join();
}

void tHTTPDownloadItem::download_progressive()
{
    {
        std::scoped_lock hold(m_lock);
        m_downloaded = 0;
        m_site_seek = false;
        m_range_state = PARTIAL_UNSUPPORTED;
        std::erase_if(m_queue, [](const tSegmentStreamBuffer& b) { return b.offset == not_a_segment; });
    }
    while (!m_stop) {
        if (!m_transfer.joinable() && !start_transfer()) throw GeneralException(16);
        bool idle = false;
        {
            std::scoped_lock hold(m_lock);
            idle = m_queue.empty();
        }
        if (idle) {
            request_reassign();
            if (!wait_for_work()) break;
            continue;
        }
        // Deliveries as the file fills, and at least every half second; a
        // Stop ends the wait at once.
        m_work.wait(500);
        if (m_stop) break;
        deliver_progressive();
        m_cleared = false;
    }
    end_transfer();
}

// Hands every queued segment that the file already holds to the master. A
// transfer that ended short gives the rest back; a failed one is reported and
// started again on the next round.
void tHTTPDownloadItem::deliver_progressive()
{
    const bool done = m_transfer_done;
    std::scoped_lock hold(m_lock);
    while (!m_queue.empty() && !m_stop && !m_cleared) {
        tSegmentStreamBuffer& front = m_queue.front();
        tStreamBuffer& b = front.buffer;
        if (ULONGLONG{m_downloaded} < ULONGLONG{front.offset} + b.Capacity()) break;
        if (::pread(m_temp_file.get(), b.Data(), b.Capacity(), front.offset) != static_cast<ssize_t>(b.Capacity()))
            break;
        b.SetPosition(b.Capacity());
        if (m_master != nullptr) m_master->SegmentDownloaded(tSegmentRecord{front.offset, b.Capacity(), b.Data()}, this);
        m_queue.pop_front();
        if (m_queue.empty()) send_event(tCorvaEvent(EVENT_COMPLETE));
    }
    if (!done || m_queue.empty() || m_cleared) return;
    finish_run();
    if (m_transfer_ok) return;   // the file is whole: what it lacks lies past the content's end
    send_event(tDownloadFailEvent(HTTP_ERROR_TRANSFER));
    end_transfer();
}

void tHTTPDownloadItem::probe_range()
{
    std::string url;
    std::string range;
    {
        std::scoped_lock hold(m_lock);
        m_first_byte = m_request_first = probe_first;
        m_last_byte = m_request_last = probe_last;
        url = m_url;
        if (m_site_seek) url += format_text("&start=%u", probe_first);
        else range = format_text("%u-%u", probe_first, probe_last);
    }
    try {
        const int result = perform(url, range.empty() ? nullptr : range.c_str());
        const long code = m_response_code;
        const auto refused = [&](DWORD sub_code) {
            std::scoped_lock hold(m_lock);
            m_range_state = PARTIAL_UNSUPPORTED;
            return HTTPException(sub_code, static_cast<DWORD>(result), static_cast<DWORD>(code));
        };
        if (result == CURLE_WRITE_ERROR || result == CURLE_ABORTED_BY_CALLBACK) {
            if (m_abort_reason == ABORT_STOPPED) return;
            if (m_abort_reason == ABORT_MISMATCH) throw refused(HTTP_ERROR_RANGE_REFUSED);
            if (m_abort_reason != ABORT_PROBE_DATA) throw refused(HTTP_ERROR_TRANSFER);
        } else if (result != CURLE_OK || code != (m_site_seek ? 200 : 206) ||
                   (!m_site_seek && !(m_range_seen && m_range_start == probe_first))) {
            throw refused(HTTP_ERROR_TRANSFER);
        }
        {
            std::scoped_lock hold(m_lock);
            m_range_state = PARTIAL_SUPPORTED;
        }
        send_event(tDownloadPartialDetectEvent(PARTIAL_SUPPORTED));
    } catch (const HTTPException& e) {
        send_event(tDownloadPartialDetectEvent(PARTIAL_UNSUPPORTED));
        plat::debug_log(format_text("HTTP partial download item fail: code = %d\n", static_cast<int>(e.CurlCode())));
        plat::debug_log(m_error);
    }
}
