#include "outside/ostrel/TaskJournal.h"
#include "outside/ostrel/tests/TestSupport.h"
#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace ostrel_test;

TEST(TaskJournal, TasksSurviveAWriteAndReadWithAwkwardTexts)
{
    plat::TempFolder folder;
    ostrel::JournalEntry e;
    e.task.id[0] = 0xDEADBEEF;
    e.task.id[3] = 1;
    e.task.key = "http://v/a b.flv";
    e.task.address = "tab\there\\back\nline";
    e.task.title = "標題 \r";
    e.task.value = -3;
    e.task.numeric_key = 0x7FFFFFFF;
    e.task.second_key = 2;
    e.task.mode = 1;
    e.task.quality = 2;
    e.task.local_path = u"/tmp/下载.flv";
    e.kind = 4;
    e.paused = true;
    ASSERT_TRUE(ostrel::write_journal(folder / "j", {e, ostrel::JournalEntry{}}));
    auto back = ostrel::read_journal(folder / "j");
    ASSERT_EQ(back.size(), 2u);
    const auto& r = back[0];
    EXPECT_TRUE(std::equal(r.task.id, r.task.id + 4, e.task.id));
    EXPECT_EQ(r.task.key, e.task.key);
    EXPECT_EQ(r.task.address, e.task.address);
    EXPECT_EQ(r.task.title, e.task.title);
    EXPECT_EQ(r.task.value, -3);
    EXPECT_EQ(r.task.numeric_key, 0x7FFFFFFF);
    EXPECT_EQ(r.task.local_path, e.task.local_path);
    EXPECT_EQ(r.kind, 4);
    EXPECT_TRUE(r.paused);
}

TEST(TaskJournal, DamagedLinesAreSkippedAndTheRestKept)
{
    plat::TempFolder folder;
    ostrel::JournalEntry good;
    good.task.key = "k";
    ASSERT_TRUE(ostrel::write_journal(folder / "j", {good}));
    std::string valid = read_file(folder / "j");
    const std::string damaged[] = {
        "task1\t0\n",
        "task2" + valid.substr(5),
        "task1\tx" + valid.substr(7),
        "task1\t0\tnothex!!00000000000000000000000\t0\tk\t\t\t0\t0\t0\t0\t0\t\n",
        "task1\t0\t00000000000000000000000000000000\t0\tbad\\q\t\t\t0\t0\t0\t0\t0\t\n",
    };
    std::ofstream out(folder / "j", std::ios::binary);
    for (const auto& line : damaged)
        out << line;
    out << valid;
    out.close();
    plat::DebugCapture capture;
    auto back = ostrel::read_journal(folder / "j");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].task.key, "k");
    EXPECT_TRUE(capture.contains("damaged task line"));
}

TEST(TaskJournal, MissingFileMeansNoTasks)
{
    plat::TempFolder folder;
    EXPECT_TRUE(ostrel::read_journal(folder / "none").empty());
}

}
