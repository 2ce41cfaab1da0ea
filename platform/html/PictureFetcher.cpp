#include "platform/html/PictureFetcher.h"

#include "platform/base/AsciiCase.h"
#include "platform/base/DebugLog.h"
#include "platform/net/CrackedUrl.h"
#include "platform/net/WebTransfer.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>

namespace plat::html {
namespace {

struct Download {
    std::vector<std::byte> bytes;
    bool too_large{false};
    std::stop_token stop;
};

size_t collect(char* data, size_t size, size_t count, void* user) noexcept
{
    auto* d = static_cast<Download*>(user);
    const size_t n = size * count;
    if (d->bytes.size() + n > max_picture_bytes) {
        d->too_large = true;
        return 0;
    }
    const auto* from = reinterpret_cast<const std::byte*>(data);
    d->bytes.insert(d->bytes.end(), from, from + n);
    return n;
}

int keep_going(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) noexcept
{
    return static_cast<Download*>(user)->stop.stop_requested() ? 1 : 0;
}

bool fetch_web(const std::string& url, Download& d, std::string& error)
{
    EasyHandle easy = open_web_transfer(url);
    if (!easy) {
        error = "no transfer handle";
        return false;
    }
    CURL* c = easy.get();
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &d);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, keep_going);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &d);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 15L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 60L);
    // A server that stops sending gives the picture up rather than holding the queue.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 20L);
    const CURLcode rc = curl_easy_perform(c);
    if (rc == CURLE_OK) return true;
    error = d.too_large ? "larger than the picture cap" : curl_easy_strerror(rc);
    return false;
}

bool read_local(const std::string& path, Download& d, std::string& error)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "cannot open";
        return false;
    }
    std::byte chunk[65536];
    while (const size_t n = std::fread(chunk, 1, sizeof chunk, file.get())) {
        if (d.bytes.size() + n > max_picture_bytes) {
            error = "larger than the picture cap";
            return false;
        }
        d.bytes.insert(d.bytes.end(), chunk, chunk + n);
    }
    return true;
}

bool is_web(std::string_view src)
{
    return starts_with_nocase(src, "http://") || starts_with_nocase(src, "https://");
}

}  // namespace

std::string local_picture_path(std::string_view src)
{
    if (src.starts_with('/')) return std::string(src);
    if (!starts_with_nocase(src, "file:///")) return {};
    const std::optional<CrackedUrl> url = crack_url(src);
    if (!url || url->scheme_name != "file" || !url->host.empty()) return {};
    return url->path;
}

PictureFetcher::PictureFetcher(std::function<void()> arrived)
    : m_arrived(std::move(arrived)), m_worker([this](std::stop_token stop) { run(stop); })
{
}

PictureFetcher::~PictureFetcher()
{
    m_worker.request_stop();
    m_wake.notify_all();
}

void PictureFetcher::fetch(std::string src)
{
    {
        std::scoped_lock hold(m_lock);
        m_queue.push_back(std::move(src));
    }
    m_wake.notify_all();
}

std::vector<FetchedPicture> PictureFetcher::take()
{
    std::vector<FetchedPicture> done;
    std::scoped_lock hold(m_lock);
    done.swap(m_done);
    return done;
}

void PictureFetcher::run(std::stop_token stop)
{
    for (;;) {
        std::string src;
        {
            std::unique_lock hold(m_lock);
            if (!m_wake.wait(hold, stop, [this] { return !m_queue.empty(); })) return;
            src = std::move(m_queue.front());
            m_queue.pop_front();
        }
        FetchedPicture picture = load(src, stop);
        if (stop.stop_requested()) return;
        if (!picture.ok) debug_log("picture not shown: " + src + ": " + picture.error);
        {
            std::scoped_lock hold(m_lock);
            m_done.push_back(std::move(picture));
        }
        m_arrived();
    }
}

FetchedPicture PictureFetcher::load(const std::string& src, std::stop_token stop) const
{
    FetchedPicture picture;
    picture.src = src;
    Download d;
    d.stop = stop;
    const std::string path = local_picture_path(src);
    bool got = false;
    if (!path.empty())
        got = read_local(path, d, picture.error);
    else if (is_web(src))
        got = fetch_web(src, d, picture.error);
    else
        picture.error = "not a picture address this view fetches";
    if (!got) return picture;
    DecodedImage header;
    if (!read_image_bytes_header(d.bytes, header, picture.error)) return picture;
    if (long(header.width) * header.height > max_picture_pixels) {
        picture.error = "more pixels than the picture cap";
        return picture;
    }
    picture.ok = decode_image_bytes(d.bytes, picture.image, picture.error);
    return picture;
}

}
