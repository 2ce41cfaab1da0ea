#pragma once
// A feed database in a temporary folder, with helpers that add rows, and a
// listener that records every notice.

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <vector>

namespace feeddb_test {

struct Notice {
    bool before;
    int action;
    int kind;
    std::int64_t id;
    int value;
    bool operator==(const Notice&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Notice& n);

class RecordingListener : public IDataActionListener {
public:
    int OnBeforeDataAction(int action, int kind, std::int64_t id, int value) override;
    void OnDataAction(int action, int kind, std::int64_t id, int value) override;

    std::vector<Notice> notices() const;
    void clear();

    int veto{0};                     // answer to every before-notice
    std::function<void()> on_call;   // runs inside every notice

private:
    mutable std::mutex m_lock;
    std::vector<Notice> m_notices;   // guarded by m_lock
};

// The titles of read records, in order.
template <class Record>
std::vector<std::string> titles(const std::list<Record>& records)
{
    std::vector<std::string> out;
    for (const auto& record : records)
        out.push_back(record.title);
    return out;
}

class FeedDb : public ::testing::Test {
protected:
    void SetUp() override;

    std::int64_t add_folder(const std::string& name, std::int64_t parent = 0);
    std::int64_t add_channel(std::int64_t folder, const std::string& url, const std::string& title = "channel");
    std::int64_t add_item(std::int64_t channel, const std::string& title, std::int64_t create_time = 0);
    RSSData::tRSSItem item_record(std::int64_t channel, const std::string& title, std::int64_t create_time = 0);
    RSSData::tRSSItem read_item(std::int64_t id);
    // SELECT count(*) through a connection of its own.
    int rows(const std::string& table) const;

    plat::TempFolder dir;
    // Lock files of the named mutex stay inside this test's folder.
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
    std::string path;
    CRSSDBMgr db;
    std::int64_t folder{0};
    std::int64_t channel{0};
};

}
