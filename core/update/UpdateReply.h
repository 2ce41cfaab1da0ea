#pragma once
// The update server's answer: one object literal whose members are strings,
// among them "v" (new version), "u" (installer URL) and "s" (Base64 signature
// of the installer), e.g. {"v":"2.1.0.7","u":"http://host/file/x.exe","s":"..."}.
// Member names may be quoted or bare; values are double-quoted strings with
// the usual backslash escapes. The text is read as data, never run.

#include <string>
#include <string_view>

struct UpdateInfo {
    std::string v;   // new version
    std::string u;   // installer URL
    std::string s;   // Base64 signature of the installer
};

// False, leaving info as it was, unless the whole text is one such object
// holding all three members, each once.
bool ParseUpdateReply(std::string_view text, UpdateInfo& info);
