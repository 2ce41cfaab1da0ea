#include "playback/devicesync/CITunesDBMgr.h"
#include "playback/devicesync/ISyncEventListener.h"
#include "platform/com/Com.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/script/testing/ModuleTesting.h"

#include <filesystem>
#include <fstream>
#include <gpod/itdb.h>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <string>

namespace fs = std::filesystem;
using plat::DriveKind;
using plat::VolumeMonitor;

namespace {

struct StatusLog final : ISyncEventListener {
    std::mutex lock;
    std::vector<DWORD> statuses;   // guarded by lock
    void OnSyncStatus(LPCWSTR, DWORD status) override
    {
        std::scoped_lock hold(lock);
        statuses.push_back(status);
    }
};

// A registered library stand-in, a player made by libgpod in a folder given
// the letter E, and some video files.
class LibrarySync : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {ITUNES_MODULE}));
        manager.AddListener(&log);
    }
    void TearDown() override
    {
        VolumeMonitor::instance().use_given_volumes({});
        CoUninitialize();
    }

    void connect_player()
    {
        fs::create_directories(player());
        GError* error = nullptr;
        ASSERT_TRUE(itdb_init_ipod(player().c_str(), nullptr, "Test", &error));
        VolumeMonitor::instance().use_given_volumes({{'E', DriveKind::Removable, player()}});
    }

    std::string player() const { return folder / "player"; }

    std::string video(const std::string& name, std::size_t size = 4000)
    {
        const std::string path = folder / name;
        std::ofstream(path) << std::string(size, 'v');
        return path;
    }

    std::multiset<std::string> titles_on_player() const
    {
        std::multiset<std::string> titles;
        Itdb_iTunesDB* db = itdb_parse(player().c_str(), nullptr);
        if (db == nullptr) return titles;
        for (GList* l = db->tracks; l != nullptr; l = l->next) {
            const auto* track = static_cast<const Itdb_Track*>(l->data);
            titles.insert(track->title);
            gchar* copy = itdb_filename_on_ipod(const_cast<Itdb_Track*>(track));
            EXPECT_TRUE(copy != nullptr && fs::is_regular_file(copy)) << track->title;
            g_free(copy);
        }
        itdb_free(db);
        return titles;
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    StatusLog log;
    CITunesDBMgr manager;
};

using Statuses = std::vector<DWORD>;

}

TEST_F(LibrarySync, VideosAreCopiedToThePlayerOnceEach)
{
    connect_player();
    const std::string a = video("first clip.mp4");
    const std::string b = video("second.mp4", 9000);
    EXPECT_EQ(manager.Sync({a, folder / "missing.mp4", b}, false), S_OK);
    EXPECT_EQ(log.statuses, (Statuses{1, 2, 3}));
    EXPECT_EQ(manager.Progress(), 100u);
    EXPECT_EQ(titles_on_player(), (std::multiset<std::string>{"first clip", "second"}));

    // Again: the file is there already, told as such, and not copied twice.
    log.statuses.clear();
    EXPECT_EQ(manager.Sync({a}, false), E_FAIL);
    EXPECT_EQ(log.statuses, (Statuses{1, 2, 6}));
    EXPECT_EQ(titles_on_player(), (std::multiset<std::string>{"first clip", "second"}));
}

TEST_F(LibrarySync, ThreadedSyncReportsOnItsOwnThread)
{
    connect_player();
    {
        CITunesDBMgr threaded;
        threaded.AddListener(&log);
        EXPECT_EQ(threaded.Sync({video("clip.mp4")}, true), S_OK);
    }   // joins the copying thread
    std::scoped_lock hold(log.lock);
    EXPECT_EQ(log.statuses, (Statuses{1, 2, 3}));
    EXPECT_EQ(titles_on_player(), (std::multiset<std::string>{"clip"}));
}

TEST_F(LibrarySync, WhatEndsASyncWithoutCopying)
{
    const std::string clip = video("clip.mp4");
    // No player: the library takes the file, nothing reaches a device.
    EXPECT_EQ(manager.Sync({clip}, false), E_FAIL);
    EXPECT_EQ(log.statuses, (Statuses{1, 2, 4}));

    connect_player();
    log.statuses.clear();
    EXPECT_EQ(manager.Sync({}, false), E_FAIL);
    EXPECT_EQ(log.statuses, (Statuses{1, 4}));

    log.statuses.clear();
    EXPECT_EQ(manager.Sync({folder / "missing.mp4"}, false), E_FAIL);
    EXPECT_EQ(log.statuses, (Statuses{1, 2, 4}));

    log.statuses.clear();
    manager.Cancel();
    EXPECT_EQ(manager.Sync({clip}, false), E_FAIL);
    EXPECT_EQ(log.statuses, (Statuses{1, 2, 5}));
    EXPECT_EQ(manager.Progress(), 0u);
    EXPECT_TRUE(titles_on_player().empty());
}

TEST_F(LibrarySync, NoLibraryNoSync)
{
    plat::TemporaryRegistry empty;   // the stand-in is registered nowhere
    EXPECT_EQ(manager.Sync({video("clip.mp4")}, false), E_FAIL);
    EXPECT_EQ(log.statuses, (Statuses{1, 4}));
}
