#pragma once
// For the update tests: an update site on 127.0.0.1 and a program folder that
// trusts its key. The site answers the version check with `reply` and serves
// the signed installer at the default address and at two addresses that fail
// as downloads fail: "/cut.exe" promises four times what it sends and drops
// the connection; "/hold.exe" sends a piece, then holds the connection open
// until release(). The installer writes its first argument into `marker`, so
// a test sees that it ran and how.

#include "core/update/CVersionUpdate.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/net/testing/LoopbackServer.h"

#include <atomic>
#include <filesystem>
#include <string>

namespace update_testing {

// The whole file's text; empty when it does not exist.
std::string read_text(const std::filesystem::path& path);
// An installer that writes its first argument into marker.
std::string installer_writing(const std::filesystem::path& marker);

class UpdateSite {
public:
    // Makes the key and the program folder; start() once the test's own routes are added.
    UpdateSite();
    ~UpdateSite();
    UpdateSite(const UpdateSite&) = delete;
    UpdateSite& operator=(const UpdateSite&) = delete;

    void start();
    // Lets a held download end.
    void release() { m_released = true; }

    // The site and the folders below root, for a program of current_version.
    UpdateSetup setup(const std::string& current_version) const;
    // A version-check answer: version, installer URL (empty: the default one), signature.
    static std::string answer(const std::string& version, const std::string& url, const std::string& signature);
    std::string url(const std::string& path) const { return server.url(path); }
    std::string sign(const std::string& bytes) const;

    bool installer_left() const;
    // Waits up to timeout_ms for the installer to write its marker; what it wrote.
    std::string marker_text(int timeout_ms) const;

    plat::TempFolder root;
    std::filesystem::path marker = root / "marker";
    std::string payload = installer_writing(marker);
    std::string reply;   // set before the program asks
    plat::LoopbackServer<> server;

private:
    std::string m_private_pem;
    std::atomic<bool> m_released{false};
};

}
