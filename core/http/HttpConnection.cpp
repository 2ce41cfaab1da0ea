#include "core/http/HttpConnection.h"

#include <curl/curl.h>
#include <sys/socket.h>

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

}

void CURLHttpConnection::EasyClose::operator()(void* easy) const
{
    curl_easy_cleanup(static_cast<CURL*>(easy));
}

CURLHttpConnection::CURLHttpConnection() = default;
CURLHttpConnection::~CURLHttpConnection() = default;

bool CURLHttpConnection::Setup(const RequestSettings& settings)
{
    if (m_easy || !settings.reply)
        return false;
    if (settings.method == HttpMethod::Post && (!settings.post || !settings.post->Data()))
        return false;
    m_settings = settings;
    m_easy.reset(curl_easy_init());
    CURL* easy = m_easy.get();
    if (!easy)
        return false;
    const long timeout = settings.timeout > 0 ? settings.timeout : default_timeout_seconds;
    bool ok = curl_easy_setopt(easy, CURLOPT_TIMEOUT, timeout) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_URL, m_settings.url.c_str()) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_PORT, static_cast<long>(settings.port)) == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
              curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
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
         curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this) == CURLE_OK &&
         // Peers are verified: the reply decides what the program installs.
         curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    if (!ok)
        m_easy.reset();
    return ok;
}

bool CURLHttpConnection::Perform()
{
    if (!m_easy)
        return false;
    m_received.assign(initial_receive_size, 0);
    m_used = 0;
    m_result = curl_easy_perform(m_easy.get());
    if (m_result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(m_easy.get(), CURLINFO_RESPONSE_CODE, &status);
        // An error page is not the document that was asked for.
        if (status >= 400)
            m_result = CURLE_HTTP_RETURNED_ERROR;
    }
    if (m_result != CURLE_OK) {
        if (m_observer)
            m_observer->OnFailed(m_result);
        return false;
    }
    *m_settings.reply = ByteBuffer(m_received.data(), m_used);
    if (m_observer)
        m_observer->OnDone();
    return true;
}

std::size_t CURLHttpConnection::on_write(char* data, std::size_t size, std::size_t count, void* self) noexcept
{
    auto& connection = *static_cast<CURLHttpConnection*>(self);
    const std::size_t chunk = size * count;
    try {
        if (connection.m_used + chunk > connection.m_received.size())
            connection.m_received.resize(connection.m_used + 2 * chunk);
    } catch (...) {
        return CURL_WRITEFUNC_ERROR;
    }
    std::memcpy(connection.m_received.data() + connection.m_used, data, chunk);
    connection.m_used += chunk;
    return chunk;
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
