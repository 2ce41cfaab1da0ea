#pragma once
// The video site's feed server: the host name in the user's setting HKCU
// "Software\Corvalen\Strimo" "FeedHost" (REG_SZ), else a default that reaches
// nothing, as the real server is not known. The feed parser's searches and the
// browser extension's subscriptions both ask it, so they name one server.

#include <string>

std::string ReadFeedHost();
