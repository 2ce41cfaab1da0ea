#pragma once
// One synchronous HTTP transfer over libcurl, set up as every web request of
// the program is (platform/net): TLS peers and host names verified, only http
// and https URLs fetched, at most five redirects followed. The body is held
// in memory or written to a file as it arrives, and is never longer than the
// request allows.

#include "components/common/libutil/ByteBuffer.h"
#include "platform/net/WebTransfer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace LibUtil {

enum class HttpMethod : std::int32_t { Get = 0, Post = 1 };

// The longest body a request takes unless it says otherwise: replies held in
// memory are small answers (the update record), never downloads.
constexpr std::uint64_t default_max_reply = 64 * 1024;

struct RequestSettings {
    HttpMethod method = HttpMethod::Get;
    std::string url;
    std::uint16_t port = 0;             // 0: the URL's own port
    const ByteBuffer* post = nullptr;   // POST only; not owned
    ByteBuffer* reply = nullptr;        // receives the body on success; not owned
    int reply_file = -1;                // instead of reply: the body is written here as it arrives; not owned
    std::uint64_t max_reply = default_max_reply;   // a longer body fails with CURLE_FILESIZE_EXCEEDED
    std::int32_t timeout = 0;           // whole transfer, seconds; 0 or less means 5
};

// Told about one connection's transfer, on the thread that performs it.
class HttpObserver {
public:
    // False cancels the transfer, which then fails with CURLE_ABORTED_BY_CALLBACK.
    virtual bool OnProgress(std::uint64_t received, std::uint64_t total) = 0;
    virtual void OnDone() = 0;
    virtual void OnFailed(int curl_code) = 0;

protected:
    ~HttpObserver() = default;
};

class HttpConnection {
public:
    virtual ~HttpConnection() = default;
    virtual bool Setup(const RequestSettings& settings) = 0;
    // True on CURLE_OK; the reply buffer is replaced only then.
    virtual bool Perform() = 0;
    virtual void Release() = 0;   // deletes the connection
    virtual void SetObserver(HttpObserver* observer) = 0;
    // The libcurl code of the last Perform (CURLE_OK before any).
    virtual int LastResult() const = 0;
};

class CURLHttpConnection final : public HttpConnection {
public:
    CURLHttpConnection();
    ~CURLHttpConnection() override;

    // False when the connection already has a handle, there is neither a
    // reply buffer nor a reply file, or a POST has no body data.
    bool Setup(const RequestSettings& settings) override;
    bool Perform() override;
    void Release() override { delete this; }
    void SetObserver(HttpObserver* observer) override { m_observer = observer; }
    int LastResult() const override { return m_result; }

private:
    static std::size_t on_write(char* data, std::size_t size, std::size_t count, void* self) noexcept;
    static int on_progress(void* self, std::int64_t total, std::int64_t now, std::int64_t, std::int64_t) noexcept;
    bool keep(const char* data, std::size_t size);

    RequestSettings m_settings;
    plat::EasyHandle m_easy;              // the CURL easy handle
    HttpObserver* m_observer = nullptr;   // not owned
    std::vector<BYTE> m_received;
    std::uint64_t m_used = 0;             // bytes of the body received
    bool m_too_long = false;              // the body passed max_reply
    int m_result = 0;
};

}
