#include "platform/net/testing/LoopbackServer.h"
#include "platform/fs/testing/TempFolder.h"
#include "core/http/tests/TestKeys.h"
#include "core/update/CVersionUpdate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The installer the server hands out: it writes its first argument into
// "marker" beside itself, so the test sees that it ran and how.
const std::string payload = "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/marker\"\n";

std::string read_text(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CVersionUpdateTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root / "tmp");
        fs::create_directories(root / "program");
        keys = http_testing::make_rsa_key();
        std::ofstream(root / "program/public.key") << keys.public_pem;
        signature = http_testing::sign_base64(keys.private_pem, payload);

        server.server.Get("/appupdate.php", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(reply, "text/plain");
        });
        server.server.Get("/file/Install_Strimo.exe", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(payload, "application/octet-stream");
        });
        server.server.Get("/cut.exe", [](const httplib::Request&, httplib::Response& res) {
            // Promises more than it sends, then drops the connection.
            res.set_content_provider(payload.size() * 4, "application/octet-stream",
                                     [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             return false;
                                         sink.write(payload.data(), payload.size());
                                         return true;
                                     });
        });
        server.start();
    }

    UpdateSetup setup() const
    {
        UpdateSetup s;
        s.host = "127.0.0.1";
        s.port = static_cast<std::uint16_t>(server.port);
        s.current_version = "1.0.0.1";
        s.temp_folder = root / "tmp";
        s.program_folder = root / "program";
        return s;
    }
    std::string answer(const std::string& version, const std::string& url, const std::string& sig) const
    {
        return "{\"v\":\"" + version + "\",\"u\":\"" + url + "\",\"s\":\"" + sig + "\"}";
    }
    // Waits for the download to end; its result.
    static HRESULT wait_for_download(const CVersionUpdate& update)
    {
        for (int i = 0; i < 3000 && update.GetResult() == E_FAIL; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return update.GetResult();
    }
    bool installer_left() const { return fs::exists(root / "tmp/" + CVersionUpdate::InstallerName); }

    plat::TempFolder root;
    http_testing::KeyPair keys;
    std::string signature;
    std::string reply;
    plat::LoopbackServer<> server;
};

}

TEST_F(CVersionUpdateTest, NewVersionDownloadsVerifiesAndStartsTheInstallerSilently)
{
    reply = answer("2.0.0.0", "", signature);   // empty "u": the default installer URL
    CVersionUpdate update(setup());
    update.Init();
    EXPECT_EQ(update.GetPercent(), -1);
    EXPECT_EQ(update.GetResult(), E_FAIL);
    ASSERT_TRUE(update.Check());
    EXPECT_EQ(update.GetNewVersion(), u"2.0.0.0");
    ASSERT_TRUE(update.StartDownload());
    ASSERT_EQ(wait_for_download(update), S_OK);
    EXPECT_EQ(update.GetPercent(), 100);
    ASSERT_TRUE(update.Finish());

    const fs::path marker = root / "tmp/marker";
    for (int i = 0; i < 3000 && read_text(marker).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_text(marker), "/SILENT");
}

TEST_F(CVersionUpdateTest, AnyOtherVersionAsksAndTheSameVersionDoesNot)
{
    const struct {
        const char* version;
        bool update;
    } cases[] = {{"1.0.0.1", false}, {"0.9.0.0", true}, {"1.0.0.2", true}, {"1.0.0.1 ", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        reply = answer(c.version, "", signature);
        CVersionUpdate update(setup());
        update.Init();
        EXPECT_EQ(update.Check(), c.update);
    }
}

TEST_F(CVersionUpdateTest, FailuresEndWithoutAnInstallerLeftOrStarted)
{
    const std::string other_signature = http_testing::sign_base64(http_testing::make_rsa_key().private_pem, payload);
    const struct {
        const char* what;
        std::string reply;
        bool checks;
        HRESULT download;
    } cases[] = {
        {"bad signature", answer("2.0", "", other_signature), true, S_OK},
        {"signature not Base64", answer("2.0", "", "!!"), true, S_OK},
        {"truncated download", answer("2.0", server.url("/cut.exe"), signature), true, INET_E_DOWNLOAD_FAILURE},
        {"missing installer", answer("2.0", server.url("/gone.exe"), signature), true, INET_E_DOWNLOAD_FAILURE},
        {"not http", answer("2.0", "file:///bin/sh", signature), true, INET_E_DOWNLOAD_FAILURE},
        {"malformed reply", "var info = 1; " + answer("2.0", "", signature), false, E_FAIL},
        {"reply without version", "{\"u\":\"\",\"s\":\"" + signature + "\"}", false, E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reply = c.reply;
        CVersionUpdate update(setup());
        update.Init();
        ASSERT_EQ(update.Check(), c.checks);
        if (c.checks) {
            update.StartDownload();
            ASSERT_EQ(wait_for_download(update), c.download);
        }
        EXPECT_FALSE(update.Finish());
        EXPECT_FALSE(installer_left());
        EXPECT_FALSE(fs::exists(root / "tmp/marker"));
    }
}

TEST_F(CVersionUpdateTest, MissingPublicKeyRunsNothing)
{
    fs::remove(root / "program/public.key");
    reply = answer("2.0", "", signature);
    CVersionUpdate update(setup());
    update.Init();
    ASSERT_TRUE(update.Check());
    update.StartDownload();
    ASSERT_EQ(wait_for_download(update), S_OK);
    EXPECT_FALSE(update.Finish());
    EXPECT_FALSE(installer_left());
}

TEST_F(CVersionUpdateTest, UnreachableServerMeansNoUpdate)
{
    plat::LoopbackServer<> silent;   // bound, never listening
    UpdateSetup s = setup();
    s.port = static_cast<std::uint16_t>(silent.port);
    CVersionUpdate update(s);
    update.Init();
    EXPECT_FALSE(update.Check());
    EXPECT_EQ(update.GetPercent(), -1);
}

TEST_F(CVersionUpdateTest, LeftoverInstallerIsDeletedAtInitAndCleanupCancels)
{
    std::ofstream(root / "tmp/" + CVersionUpdate::InstallerName) << "old";
    CVersionUpdate update(setup());
    update.Init();
    EXPECT_FALSE(installer_left());

    reply = answer("2.0", "", signature);
    ASSERT_TRUE(update.Check());
    update.StartDownload();
    update.Cleanup();
    EXPECT_EQ(update.GetPercent(), -1);
    EXPECT_FALSE(installer_left());
}
