#pragma once
// A prefetch manager on a temporary feed database, with the download-manager
// double, fixed binding ids and the HTML document module registered.

#include "DownloaderDouble.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "outside/bind/BindID.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "prefetch/CPrefechMgr.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace prefetch_test {

// Ids made from the text alone: the same address, the same id.
class FixedBind final : public BindID::IBindIDManager {
public:
    void Register(const char*, const char*) override {}
    BindID::tBindID GetBindID(const char* key, const char*) override;
};

// Counts the after-notices of item writes; a test waits for a number of them.
class WriteWatch final : public IDataActionListener {
public:
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int action, int kind, std::int64_t id, int value) override;
    bool wait_for_writes(std::int64_t item_id, int n);

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<std::int64_t, int> m_writes;   // guarded by m_lock
};

class Prefetch : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::int64_t add_channel(bool can_prefetch, bool disabled = false);
    // An item of the channel; its media address is "http://media/<name>".
    std::int64_t add_item(std::int64_t channel, const std::string& name, std::int64_t create_time,
                          const std::string& description = "", int status = 0, bool mark_hd = true,
                          bool favourite = false);
    RSSData::tRSSItem item(std::int64_t id);
    void start(lumbrick::Options options = {});
    // Stops the manager; a cycle under way ends at its next item (a waiting job is cut short).
    void stop();

    plat::TemporaryRegistry registry;
    plat::TempFolder dir;
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
    std::string images;
    CRSSDBMgr db;
    std::int64_t folder = 0;
    WriteWatch writes;
    DownloaderDouble downloader;
    FixedBind bind;
    std::unique_ptr<CPrefechMgr> manager;   // last: stopped before the rest goes
};

}
