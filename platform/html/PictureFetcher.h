#pragma once
// The pictures of a shown page, fetched on a worker thread of their own so
// that nothing waits on the caller's thread: local files (a raw path or a
// "file:///" address) and http/https through plat::open_web_transfer, each
// held to a size cap and decoded by the program's picture loader. Nothing
// else is ever fetched: any other address fails at once.

#include "platform/d3d9/ImageFile.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace plat::html {

// A fetched picture file may be no larger, and a decoded one hold no more pixels.
inline constexpr std::size_t max_picture_bytes = 4u << 20;
inline constexpr long max_picture_pixels = 2048L * 2048L;

struct FetchedPicture {
    std::string src;       // as the page wrote it
    bool ok{false};
    DecodedImage image;    // premultiplied when ok
    std::string error;
};

class PictureFetcher {
public:
    // arrived runs on the worker after each picture, got or failed; it should
    // only wake the owner's thread, which then takes the results.
    explicit PictureFetcher(std::function<void()> arrived);
    // Abandons what is queued and stops a transfer in progress within a tenth of a second.
    ~PictureFetcher();
    PictureFetcher(const PictureFetcher&) = delete;
    PictureFetcher& operator=(const PictureFetcher&) = delete;

    void fetch(std::string src);
    // The pictures finished since the last call, in the order they finished.
    std::vector<FetchedPicture> take();

private:
    void run(std::stop_token stop);
    FetchedPicture load(const std::string& src, std::stop_token stop) const;

    std::function<void()> m_arrived;
    std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::deque<std::string> m_queue;        // guarded by m_lock
    std::vector<FetchedPicture> m_done;     // guarded by m_lock
    std::jthread m_worker;                  // last member: joined before the rest go
};

// The local file a picture address names: a raw absolute path, or a
// "file:///" address decoded; empty when it names no local file.
std::string local_picture_path(std::string_view src);

}
