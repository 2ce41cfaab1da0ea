#include "core/http/HttpConnection.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace LibUtil {

namespace {

constexpr std::int32_t default_timeout_seconds = 5;
constexpr std::size_t initial_receive_size = 4096;

// Each socket is reset on close rather than left lingering in TIME_WAIT.
int set_no_linger(void*, curl_socket_t socket, curlsocktype) noexcept
{
    linger option{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    return CURL_SOCKOPT_OK;
}

bool write_all(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}

CURLHttpConnection::CURLHttpConnection() = default;
CURLHttpConnection::~CURLHttpConnection() = default;

bool CURLHttpConnection::Setup(const RequestSettings& settings)
{
    if (m_easy || (!settings.reply && settings.reply_file < 0))
        return false;
    if (settings.method == HttpMethod::Post && (!settings.post || !settings.post->Data()))
        return false;
    m_settings = settings;
    m_easy = plat::open_web_transfer(m_settings.url);
    CURL* easy = m_easy.get();
    if (!easy)
        return false;
    const long timeout = settings.timeout > 0 ? settings.timeout : default_timeout_seconds;
    bool ok = curl_easy_setopt(easy, CURLOPT_TIMEOUT, timeout) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_PORT, static_cast<long>(settings.port)) == CURLE_OK &&
              // Refused before the body comes when the server declares a longer one.
              curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(settings.max_reply)) ==
                  CURLE_OK;
    if (settings.method == HttpMethod::Post)
        ok = ok && curl_easy_setopt(easy, CURLOPT_POSTFIELDS, settings.post->Data()) == CURLE_OK &&
             curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(settings.post->Length())) == CURLE_OK &&
             curl_easy_setopt(easy, CURLOPT_POST, 1L) == CURLE_OK;
    else
        ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &set_no_linger) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CURLHttpConnection::on_write) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CURLHttpConnection::on_progress) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this) == CURLE_OK;
    if (!ok)
        m_easy.reset();
    return ok;
}

bool CURLHttpConnection::Perform()
{
    if (!m_easy)
        return false;
    m_received.assign(m_settings.reply_file < 0 ? initial_receive_size : 0, 0);
    m_used = 0;
    m_too_long = false;
    m_result = curl_easy_perform(m_easy.get());
    if (m_too_long)
        m_result = CURLE_FILESIZE_EXCEEDED;
    if (m_result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &status);
        // An error page is not the document that was asked for, nor is a
        // redirect that was not followed.
        if (status >= 300)
            m_result = CURLE_HTTP_RETURNED_ERROR;
    }
    if (m_result != CURLE_OK) {
        if (m_observer)
            m_observer->OnFailed(m_result);
        return false;
    }
    if (m_settings.reply_file < 0)
        *m_settings.reply = ByteBuffer(m_received.data(), static_cast<std::size_t>(m_used));
    if (m_observer)
        m_observer->OnDone();
    return true;
}

bool CURLHttpConnection::keep(const char* data, std::size_t size)
{
    if (m_used + size > m_settings.max_reply) {
        m_too_long = true;
        return false;
    }
    if (m_settings.reply_file >= 0) {
        if (!write_all(m_settings.reply_file, data, size))
            return false;
    } else {
        if (m_used + size > m_received.size())
            m_received.resize(static_cast<std::size_t>(m_used) + 2 * size);
        std::memcpy(m_received.data() + m_used, data, size);
    }
    m_used += size;
    return true;
}

std::size_t CURLHttpConnection::on_write(char* data, std::size_t size, std::size_t count, void* self) noexcept
{
    auto& connection = *static_cast<CURLHttpConnection*>(self);
    const std::size_t chunk = size * count;
    try {
        return connection.keep(data, chunk) ? chunk : CURL_WRITEFUNC_ERROR;
    } catch (...) {
        return CURL_WRITEFUNC_ERROR;
    }
}

int CURLHttpConnection::on_progress(void* self, std::int64_t total, std::int64_t now, std::int64_t,
                                    std::int64_t) noexcept
{
    auto& connection = *static_cast<CURLHttpConnection*>(self);
    if (!connection.m_observer)
        return 0;
    const bool go_on = connection.m_observer->OnProgress(static_cast<std::uint64_t>(now),
                                                         static_cast<std::uint64_t>(total));
    return go_on ? 0 : 1;
}

}
