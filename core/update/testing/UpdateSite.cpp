#include "core/update/testing/UpdateSite.h"

#include "core/http/tests/TestKeys.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace update_testing {

std::string read_text(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string installer_writing(const fs::path& marker)
{
    return "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker.string() + "'\n";
}

UpdateSite::UpdateSite()
{
    fs::create_directories(root / "program");
    const http_testing::KeyPair keys = http_testing::make_rsa_key();
    m_private_pem = keys.private_pem;
    std::ofstream(root / "program/public.key") << keys.public_pem;

    server.server.Get("/appupdate.php", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(reply, "text/plain");
    });
    server.server.Get("/file/Install_Strimo.exe", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(payload, "application/octet-stream");
    });
    server.server.Get("/cut.exe", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(payload.size() * 4, "application/octet-stream",
                                 [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset > 0)
                                         return false;
                                     sink.write(payload.data(), payload.size());
                                     return true;
                                 });
    });
    server.server.Get("/hold.exe", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(payload.size() * 100, "application/octet-stream",
                                 [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset == 0)
                                         sink.write(payload.data(), payload.size());
                                     std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                     return !m_released.load();
                                 });
    });
}

// A held download must end before the server can stop.
UpdateSite::~UpdateSite()
{
    release();
}

void UpdateSite::start()
{
    server.start();
}

UpdateSetup UpdateSite::setup(const std::string& current_version) const
{
    UpdateSetup s;
    s.host = "127.0.0.1";
    s.port = static_cast<std::uint16_t>(server.port);
    s.current_version = current_version;
    s.download_folder = root / "updates";
    s.program_folder = root / "program";
    return s;
}

std::string UpdateSite::answer(const std::string& version, const std::string& url, const std::string& signature)
{
    return "{\"v\":\"" + version + "\",\"u\":\"" + url + "\",\"s\":\"" + signature + "\"}";
}

std::string UpdateSite::sign(const std::string& bytes) const
{
    return http_testing::sign_base64(m_private_pem, bytes);
}

bool UpdateSite::installer_left() const
{
    return fs::exists(fs::path(root / "updates") / CVersionUpdate::InstallerName);
}

std::string UpdateSite::marker_text(int timeout_ms) const
{
    for (int waited = 0; waited < timeout_ms && read_text(marker).empty(); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return read_text(marker);
}

}
