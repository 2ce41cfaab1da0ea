#include "core/http/ConnectionManager.h"

#include "components/common/libutil/ZLibEncryptHelper.h"

#include <memory>

namespace LibUtil {

CURLConnectionManager& CURLConnectionManager::Instance()
{
    static CURLConnectionManager manager;
    return manager;
}

// libcurl's global state belongs to the shared web transfer set-up, which
// other modules use as well; the manager neither makes nor ends it.
CURLConnectionManager::CURLConnectionManager() = default;
CURLConnectionManager::~CURLConnectionManager() = default;

HttpConnection* CURLConnectionManager::CreateConnection(const RequestSettings& settings)
{
    auto connection = std::make_unique<CURLHttpConnection>();
    if (!connection->Setup(settings))
        return nullptr;
    return connection.release();
}

bool HttpRequest(const std::string& url, std::uint16_t port, ByteBuffer& reply, const ByteBuffer* post, bool decode)
{
    ByteBuffer received;
    RequestSettings settings;
    settings.method = post ? HttpMethod::Post : HttpMethod::Get;
    settings.url = url;
    settings.port = port;
    settings.post = post;
    settings.reply = &received;
    HttpConnection* connection = CURLConnectionManager::Instance().CreateConnection(settings);
    if (!connection)
        return false;
    const bool ok = connection->Perform();
    connection->Release();
    if (!ok)
        return false;
    if (!decode) {
        reply = std::move(received);
        return true;
    }
    ZLibEncryptHelper codec;
    return codec.Decode(received, reply, 0);
}

}
