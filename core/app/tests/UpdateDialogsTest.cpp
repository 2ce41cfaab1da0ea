#include "core/app/UpdateDialogs.h"

#include "core/update/CVersionUpdate.h"
#include "core/update/testing/UpdateSite.h"
#include "platform/window/Dialog.h"
#include "platform/window/Window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

// Cairo's text keeps fontconfig's cache for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using update_testing::read_text;

// What the user does in the dialogs, played from a timer of the dialogs' own
// thread: press a button of the dialog of a title, once it is open.
struct Press {
    const char16_t* title_start;
    int button;
};
std::vector<Press> presses;
std::vector<std::u16string> seen_texts;   // the progress dialog's status, as the timer saw it

HWND dialog_titled(const char16_t* start)
{
    for (HWND h : {FindWindowW(u"#32770", nullptr)}) {
        if (!h)
            continue;
        WCHAR title[128] = {};
        GetWindowTextW(h, title, 128);
        if (std::u16string_view(title).starts_with(start))
            return h;
    }
    return nullptr;
}

void play_user(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWindowW(u"#32770", nullptr);
    if (!dialog)
        return;
    WCHAR status[256] = {};
    GetDlgItemTextW(dialog, 1005, status, 256);
    if (status[0] && (seen_texts.empty() || seen_texts.back() != status))
        seen_texts.emplace_back(status);
    if (!presses.empty() && dialog_titled(presses.front().title_start)) {
        PostMessageW(dialog, WM_COMMAND, WPARAM(presses.front().button), 0);
        presses.erase(presses.begin());
    }
}

class UpdateDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        site.start();
        presses.clear();
        seen_texts.clear();
        SetTimer(nullptr, 0, 50, &play_user);
    }

    bool run(const std::string& path, const std::string& signed_bytes)
    {
        site.reply = update_testing::UpdateSite::answer("2.0", path.empty() ? "" : site.url(path),
                                                        site.sign(signed_bytes));
        CVersionUpdate update(site.setup("1.0"));
        update.Init();
        if (!update.Check())
            return false;
        return run_update_dialogs(update);
    }
    bool installer_left() const { return site.installer_left(); }
    std::string marker_text() const { return site.marker_text(5000); }

    update_testing::UpdateSite site;
    const fs::path& marker = site.marker;
    const std::string& payload = site.payload;
};

const std::u16string failed = u"Failed to verify signature, can't install it now!";

TEST_F(UpdateDialogs, OKEndsTheStartAndTheVerifiedInstallerRuns)
{
    presses = {{u"Strimo Upate(2.0)", IDOK}};
    EXPECT_TRUE(run("", payload));
    EXPECT_EQ(marker_text(), "/SILENT");
}

TEST_F(UpdateDialogs, ABadSignatureOrAFailedDownloadSaysSoAndStartUpGoesOn)
{
    const struct {
        const char* name;
        std::string path;
        bool good_signature;
    } cases[] = {{"bad signature", "", false}, {"download cut short", "/cut.exe", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        presses = {{u"Strimo Upate", IDOK}};
        seen_texts.clear();
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(run(c.path, c.good_signature ? payload : payload + "tampered"));
        EXPECT_NE(std::find(seen_texts.begin(), seen_texts.end(), failed), seen_texts.end());
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "the message stays 5 s";
        EXPECT_FALSE(installer_left());
        EXPECT_TRUE(read_text(marker).empty());
    }
}

TEST_F(UpdateDialogs, CancelAnywhereLetsStartUpGoOnAndLeavesNoFile)
{
    presses = {{u"Strimo Upate", IDCANCEL}};
    EXPECT_FALSE(run("", payload));
    EXPECT_FALSE(installer_left());
    presses = {{u"Strimo Upate", IDOK}, {u"Strimo Update", IDCANCEL}};
    EXPECT_FALSE(run("/hold.exe", payload));
    EXPECT_FALSE(installer_left()) << "Cancel deletes the download";
    EXPECT_TRUE(read_text(marker).empty());
}

}
