#include "core/http/tests/TestKeys.h"
#include "core/update/CVersionUpdate.h"
#include "core/update/testing/UpdateSite.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using update_testing::installer_writing;

namespace {

class CVersionUpdateTest : public testing::Test {
protected:
    void SetUp() override
    {
        signature = site.sign(payload);
        // /hop/N redirects N times before the installer.
        server.redirect_chain("/hop", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(payload, "application/octet-stream");
        });
        // The installer without a length, so only its bytes can tell its size.
        server.server.Get("/chunked.exe", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [this](std::size_t, httplib::DataSink& sink) {
                sink.write(payload.data(), payload.size());
                sink.done();
                return true;
            });
        });
        // Declares a length far past any limit and sends a little.
        server.server.Get("/huge.exe", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(max_installer_bytes + 1, "application/octet-stream",
                                     [this](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             return false;
                                         sink.write(payload.data(), payload.size());
                                         return true;
                                     });
        });
        site.start();
    }

    UpdateSetup setup() const { return site.setup("1.0.0.1"); }
    static std::string answer(const std::string& version, const std::string& url, const std::string& sig)
    {
        return update_testing::UpdateSite::answer(version, url, sig);
    }
    // Waits for the download to end; its result.
    static HRESULT wait_for_download(const CVersionUpdate& update)
    {
        for (int i = 0; i < 3000 && update.GetResult() == E_FAIL; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return update.GetResult();
    }
    // Checks for the update and downloads its installer to the end.
    void download(CVersionUpdate& update)
    {
        update.Init();
        ASSERT_TRUE(update.Check());
        ASSERT_TRUE(update.StartDownload());
        ASSERT_EQ(wait_for_download(update), S_OK);
    }
    bool installer_left() const { return site.installer_left(); }
    // Waits for the installer to write its marker; what it wrote.
    std::string marker_text() const { return site.marker_text(30000); }

    update_testing::UpdateSite site;
    const plat::TempFolder& root = site.root;
    const fs::path& marker = site.marker;
    const std::string& payload = site.payload;
    std::string& reply = site.reply;
    plat::LoopbackServer<>& server = site.server;
    std::string signature;
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
    EXPECT_EQ(marker_text(), "/SILENT");
}

// The answer comes over plain HTTP: an older version must never be offered,
// or a replayed older signed installer would be installed.
TEST_F(CVersionUpdateTest, OnlyAHigherVersionAsks)
{
    const struct {
        const char* version;
        bool update;
    } cases[] = {{"1.0.0.1", false}, {"0.9.0.0", false}, {"1.0.0.2", true}, {"1.0.0.1 ", false},
                 {"1.0.1", true},    {"1.0", false},     {"1.0.0.10", true}, {"", false}};
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
        {"six redirects", answer("2.0", server.url("/hop/6"), signature), true, INET_E_DOWNLOAD_FAILURE},
        {"installer declared past its limit", answer("2.0", server.url("/huge.exe"), signature), true,
         INET_E_DOWNLOAD_FAILURE},
        {"malformed reply", "var info = 1; " + answer("2.0", "", signature), false, E_FAIL},
        {"reply past 64 KiB", answer("2.0", "", signature + "\",\"pad\":\"" + std::string(64 * 1024, 'p')), false,
         E_FAIL},
        {"older version", answer("0.9", "", signature), false, E_FAIL},
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
        EXPECT_FALSE(fs::exists(marker));
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
    fs::create_directories(root / "updates");
    std::ofstream(fs::path(root / "updates") / CVersionUpdate::InstallerName) << "old";
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

TEST_F(CVersionUpdateTest, InstallerIsFollowedThroughFiveRedirects)
{
    reply = answer("2.0", server.url("/hop/5"), signature);
    CVersionUpdate update(setup());
    update.Init();
    ASSERT_TRUE(update.Check());
    ASSERT_TRUE(update.StartDownload());
    ASSERT_EQ(wait_for_download(update), S_OK);
    ASSERT_TRUE(update.Finish());
    EXPECT_EQ(marker_text(), "/SILENT");
}

// A server that sends no length is stopped by the bytes themselves.
TEST_F(CVersionUpdateTest, InstallerPastItsLimitIsRefusedAsItArrives)
{
    reply = answer("2.0", server.url("/chunked.exe"), signature);
    for (const std::uint64_t limit : {std::uint64_t{payload.size() - 1}, std::uint64_t{payload.size()}}) {
        SCOPED_TRACE(limit);
        UpdateSetup s = setup();
        s.installer_limit = limit;
        CVersionUpdate update(s);
        update.Init();
        ASSERT_TRUE(update.Check());
        ASSERT_TRUE(update.StartDownload());
        const bool fits = limit == payload.size();
        ASSERT_EQ(wait_for_download(update), fits ? S_OK : INET_E_DOWNLOAD_FAILURE);
        EXPECT_EQ(installer_left(), fits);
    }
}

namespace {

// Puts another file where the installer is at the first fork after it is
// armed: the start of the installer, after its signature was checked. Only a
// start from the descriptor that was verified still runs the verified bytes.
class SwapAtTheStart {
public:
    SwapAtTheStart(fs::path installer, std::string replacement)
        : m_installer(std::move(installer)), m_replacement(std::move(replacement))
    {
        static std::once_flag hooked;
        std::call_once(hooked, [] { pthread_atfork(&SwapAtTheStart::on_fork, nullptr, nullptr); });
        armed().store(this);
    }
    ~SwapAtTheStart() { armed().store(nullptr); }
    bool swapped() const { return m_swapped; }

private:
    static std::atomic<SwapAtTheStart*>& armed()
    {
        static std::atomic<SwapAtTheStart*> swap{nullptr};
        return swap;
    }
    static void on_fork()
    {
        if (SwapAtTheStart* swap = armed().exchange(nullptr))
            swap->swap();
    }
    void swap()
    {
        const fs::path other = m_installer.string() + ".other";
        std::ofstream(other) << m_replacement;
        fs::permissions(other, fs::perms::owner_all);
        fs::rename(other, m_installer);
        m_swapped = true;
    }

    fs::path m_installer;
    std::string m_replacement;
    bool m_swapped = false;
};

}

TEST_F(CVersionUpdateTest, InstallerSwappedBetweenItsCheckAndItsStartStillRunsTheVerifiedFile)
{
    reply = answer("2.0", "", signature);
    CVersionUpdate update(setup());
    ASSERT_NO_FATAL_FAILURE(download(update));
    SwapAtTheStart swap(update.InstallerPath(), installer_writing(root / "swapped"));
    ASSERT_TRUE(update.Finish());
    EXPECT_TRUE(swap.swapped());
    EXPECT_EQ(marker_text(), "/SILENT");
    EXPECT_FALSE(fs::exists(root / "swapped"));
}

TEST_F(CVersionUpdateTest, InstallerChangedAfterItsDownloadDoesNotRun)
{
    reply = answer("2.0", "", signature);
    CVersionUpdate update(setup());
    ASSERT_NO_FATAL_FAILURE(download(update));
    std::ofstream(update.InstallerPath(), std::ios::trunc) << installer_writing(root / "swapped");
    EXPECT_FALSE(update.Finish());
    EXPECT_FALSE(installer_left());
    EXPECT_FALSE(fs::exists(root / "swapped"));
}

// Only this user may place a file where the installer is downloaded.
TEST_F(CVersionUpdateTest, DownloadFolderIsKeptPrivateAndALinkIsRefused)
{
    reply = answer("2.0", "", signature);
    fs::create_directories(root / "updates");
    fs::permissions(root / "updates", fs::perms::all);
    CVersionUpdate update(setup());
    update.Init();
    EXPECT_EQ(fs::status(root / "updates").permissions(), fs::perms::owner_all);
    EXPECT_TRUE(update.Check());

    fs::create_directories(root / "elsewhere");
    fs::create_directory_symlink(root / "elsewhere", root / "link");
    UpdateSetup linked = setup();
    linked.download_folder = root / "link";
    CVersionUpdate through_link(linked);
    through_link.Init();
    EXPECT_FALSE(through_link.Check());
    EXPECT_FALSE(through_link.StartDownload());
}
