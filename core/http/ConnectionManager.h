#pragma once
// The process-wide maker of HTTP connections, and the one-call request the
// self update uses.

#include "core/http/HttpConnection.h"

namespace LibUtil {

class ConnectionManager {
public:
    // A connection set up with the settings, or null when it cannot be. The
    // caller ends it with Release.
    virtual HttpConnection* CreateConnection(const RequestSettings& settings) = 0;

protected:
    ~ConnectionManager() = default;
};

class CURLConnectionManager final : public ConnectionManager {
public:
    // The one instance.
    static CURLConnectionManager& Instance();

    HttpConnection* CreateConnection(const RequestSettings& settings) override;

private:
    CURLConnectionManager();
    ~CURLConnectionManager();
};

// GET (post null) or POST of url on port into reply; a body longer than
// default_max_reply fails. With decode, a successful
// reply is decoded with codec mode 0 and the result is the decoder's. On
// failure reply is left as it was.
bool HttpRequest(const std::string& url, std::uint16_t port, ByteBuffer& reply, const ByteBuffer* post, bool decode);

}
