#include "outside/ostrel/RangeFetch.h"

#include "outside/ostrel/SegmentFile.h"
#include "platform/base/AsciiCase.h"
#include "platform/base/DebugLog.h"
#include "platform/net/WebTransfer.h"

#include <curl/curl.h>

#include <cstdio>
#include <string_view>

namespace ostrel {
namespace {

struct Fetch {
    const FetchRequest& request;
    SegmentFile& file;
    const std::atomic<bool>& interrupt;
    const std::function<void(LONGLONG, LONGLONG)>& progress;
    long status = 0;              // of the last response header block
    LONGLONG range_first = -1;    // from Content-Range
    LONGLONG range_total = -1;
    LONGLONG length = -1;         // from Content-Length
    bool started = false;         // body seen and checked
    LONGLONG run_start = 0;
    LONGLONG position = 0;
    FetchResult failure = FetchResult::Done;   // why a callback stopped the transfer
};

std::size_t on_header(char* data, std::size_t, std::size_t size, void* user) noexcept
{
    auto& f = *static_cast<Fetch*>(user);
    std::string_view line(data, size);
    if (line.starts_with("HTTP/")) {
        // Each response of a redirect chain starts afresh.
        f.status = 0;
        f.range_first = f.range_total = f.length = -1;
        std::sscanf(std::string(line).c_str(), "HTTP/%*s %ld", &f.status);
    } else if (plat::starts_with_nocase(line, "content-range:")) {
        long long first = -1, last = -1, total = -1;
        if (std::sscanf(std::string(line.substr(14)).c_str(), " bytes %lld-%lld/%lld", &first, &last, &total) == 3) {
            f.range_first = first;
            f.range_total = total;
        }
    } else if (plat::starts_with_nocase(line, "content-length:")) {
        long long length = -1;
        if (std::sscanf(std::string(line.substr(15)).c_str(), " %lld", &length) == 1)
            f.length = length;
    }
    return size;
}

// Checks the response before its first byte is stored; false stops the transfer.
bool begin_body(Fetch& f)
{
    f.started = true;
    if (f.status == 206) {
        if (f.range_first != f.request.first_byte || f.range_total < 0) {
            f.failure = FetchResult::HttpError;
            plat::debug_log("ostrel: unexpected range answer from " + f.request.url);
            return false;
        }
        if (!f.file.set_total(f.range_total)) {
            f.failure = FetchResult::Changed;
            return false;
        }
        f.run_start = f.position = f.request.first_byte;
        return true;
    }
    if (f.status == 200) {
        // The server sends the whole content: store it from the start.
        if (f.length >= 0)
            f.file.set_total(f.length);
        f.run_start = f.position = 0;
        return true;
    }
    f.failure = FetchResult::HttpError;
    plat::debug_log("ostrel: HTTP " + std::to_string(f.status) + " from " + f.request.url);
    return false;
}

std::size_t on_body(char* data, std::size_t, std::size_t size, void* user) noexcept
{
    auto& f = *static_cast<Fetch*>(user);
    if (f.interrupt) {
        f.failure = FetchResult::Interrupted;
        return 0;
    }
    if (!f.started && !begin_body(f))
        return 0;
    if (!f.file.write(f.run_start, f.position, data, size)) {
        plat::debug_log("ostrel: cannot write the download of " + f.request.url);
        f.failure = FetchResult::NetworkError;
        return 0;
    }
    f.position += static_cast<LONGLONG>(size);
    f.progress(f.run_start, f.position - f.run_start);
    return size;
}

int on_tick(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept
{
    auto& f = *static_cast<Fetch*>(user);
    if (f.interrupt) {
        f.failure = FetchResult::Interrupted;
        return 1;
    }
    return 0;
}

}

FetchResult fetch_range(const FetchRequest& request, SegmentFile& file, const std::atomic<bool>& interrupt,
                        const std::function<void(LONGLONG, LONGLONG)>& progress)
{
    plat::EasyHandle easy = plat::open_web_transfer(request.url);
    if (!easy)
        return FetchResult::NetworkError;
    Fetch f{request, file, interrupt, progress};
    std::string range = std::to_string(request.first_byte) + "-";
    if (request.last_byte >= 0)
        range += std::to_string(request.last_byte);
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request.stall_time.count()));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.stall_time.count()));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &f);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &on_body);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &f);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &on_tick);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &f);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    CURLcode code = curl_easy_perform(e);
    if (f.failure != FetchResult::Done)
        return f.failure;
    if (interrupt)
        return FetchResult::Interrupted;
    if (code != CURLE_OK) {
        plat::debug_log(std::string("ostrel: ") + curl_easy_strerror(code) + ": " + request.url);
        return FetchResult::NetworkError;
    }
    if (!f.started && !begin_body(f))   // a response without a body
        return f.failure;
    if (file.total() < 0)
        file.finish_unknown_size(f.position);
    return FetchResult::Done;
}

}
