#include "platform/sync/NamedMutex.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using plat::NamedMutex;

namespace {

constexpr const char* db_mutex = "{20A522FB-105F-478f-88CA-1C173DFD2D56}";
constexpr DWORD generous_ms = 60000;

// Each test gets its own runtime folder, so lock files of other runs never meet it.
class NamedMutexTest : public ::testing::Test {
protected:
    plat::TempFolder m_runtime;
    plat::ScopedEnvironment m_env{"STRIMO_RUNTIME_DIR", m_runtime.path().c_str()};
};

// A child process, forked before the parent opens any named mutex so that it
// inherits no lock file. It runs body and ends with body's result.
class Child {
public:
    template<typename F>
    explicit Child(F body)
    {
        m_pid = ::fork();
        if (m_pid == 0) ::_exit(body());
    }
    ~Child()
    {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            wait_status();
        }
    }
    pid_t pid() const { return m_pid; }
    int wait_status()
    {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_reaped = true;
        return status;
    }
    int exit_code()
    {
        int status = wait_status();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
};

// One byte from a child to the parent: "I got there".
struct Signal {
    int fds[2];
    Signal() { EXPECT_EQ(::pipe(fds), 0); }
    ~Signal() { ::close(fds[0]), ::close(fds[1]); }
    void send() const { (void)!::write(fds[1], "x", 1); }
    bool receive() const
    {
        char c;
        return ::read(fds[0], &c, 1) == 1;
    }
};

}

TEST_F(NamedMutexTest, OwnerTakesAgainAndOnlyTheOwnerReleases)
{
    auto m = NamedMutex::open(db_mutex);
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->release()) << "nobody owns it yet";
    ASSERT_EQ(m->wait(), WAIT_OBJECT_0);
    ASSERT_EQ(m->wait(), WAIT_OBJECT_0);
    DWORD other = WAIT_FAILED;
    bool other_released = true;
    std::thread([&] {
        other_released = m->release();
        other = m->wait(20);
    }).join();
    EXPECT_FALSE(other_released);
    EXPECT_EQ(other, WAIT_TIMEOUT);
    EXPECT_TRUE(m->release());
    std::thread([&] { other = m->wait(0); }).join();
    EXPECT_EQ(other, WAIT_TIMEOUT) << "one release of two left it free";
    EXPECT_TRUE(m->release());
    EXPECT_FALSE(m->release());
}

TEST_F(NamedMutexTest, HandlesOfOneNameInOneProcessAreOneMutex)
{
    auto first = NamedMutex::open(db_mutex);
    auto second = NamedMutex::open(db_mutex);
    auto other_name = NamedMutex::open("{1D37442F-D06A-436c-8890-A6AA4E9A993C}");
    ASSERT_TRUE(first && second && other_name);
    ASSERT_EQ(first->wait(), WAIT_OBJECT_0);
    EXPECT_EQ(second->wait(0), WAIT_OBJECT_0) << "same thread, same mutex: a recursive take";
    EXPECT_TRUE(second->release());
    DWORD same = WAIT_FAILED, different = WAIT_FAILED;
    std::thread([&] {
        same = second->wait(20);
        different = other_name->wait(0);
        other_name->release();
    }).join();
    EXPECT_EQ(same, WAIT_TIMEOUT);
    EXPECT_EQ(different, WAIT_OBJECT_0);
    EXPECT_TRUE(first->release());
}

TEST_F(NamedMutexTest, AlreadyExistedWhileAnyProcessHasItOpen)
{
    Signal opened, go_on;
    Child child([&] {
        auto m = NamedMutex::open(db_mutex);
        if (!m) return 1;
        opened.send();
        go_on.receive();
        return m->already_existed() ? 2 : 0;
    });
    ASSERT_TRUE(opened.receive());
    {
        auto mine = NamedMutex::open(db_mutex);
        ASSERT_TRUE(mine);
        EXPECT_TRUE(mine->already_existed()) << "the child has it open";
        auto again = NamedMutex::open(db_mutex);
        EXPECT_TRUE(again->already_existed());
        go_on.send();
        EXPECT_EQ(child.exit_code(), 0) << "the child opened it first";
        EXPECT_TRUE(NamedMutex::open(db_mutex)->already_existed()) << "this process still holds handles";
    }
    EXPECT_FALSE(NamedMutex::open(db_mutex)->already_existed()) << "every handle was closed";
}

TEST_F(NamedMutexTest, KilledOwnerProcessFreesItAndTheNextTakerIsTold)
{
    Signal taken;
    Child child([&] {
        auto m = NamedMutex::open(db_mutex);
        if (!m || m->wait() != WAIT_OBJECT_0) return 1;
        taken.send();
        for (;;) ::pause();
    });
    ASSERT_TRUE(taken.receive());
    auto m = NamedMutex::open(db_mutex);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->wait(0), WAIT_TIMEOUT);
    EXPECT_EQ(m->wait(30), WAIT_TIMEOUT);

    ASSERT_EQ(::kill(child.pid(), SIGKILL), 0);
    child.wait_status();
    EXPECT_EQ(m->wait(generous_ms), WAIT_ABANDONED_0);
    EXPECT_TRUE(m->release()) << "an abandoned mutex is owned by its new taker";
    EXPECT_EQ(m->wait(generous_ms), WAIT_OBJECT_0) << "released in order this time";
    EXPECT_TRUE(m->release());
}

TEST_F(NamedMutexTest, ProcessesAndThreadsNeverHoldItTogether)
{
    // A counter in a file, read and written back in two steps: only the mutex keeps
    // increments from being lost.
    const std::string counter = m_runtime / "counter";
    {
        int fd = ::open(counter.c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_EQ(::pwrite(fd, "0", 1, 0), 1);
        ::close(fd);
    }
    constexpr int per_thread = 250;
    auto increment = [&] {
        auto m = NamedMutex::open(db_mutex);
        if (!m) return false;
        int fd = ::open(counter.c_str(), O_RDWR);
        for (int i = 0; i < per_thread; ++i) {
            if (m->wait() != WAIT_OBJECT_0 || m->wait() != WAIT_OBJECT_0) return false;
            char text[32] = {};
            if (::pread(fd, text, sizeof text - 1, 0) <= 0) return false;
            std::string next = std::to_string(std::stol(text) + 1);
            if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, next.data(), next.size(), 0) < 0) return false;
            m->release();
            m->release();
        }
        ::close(fd);
        return true;
    };
    auto two_threads = [&] {
        std::atomic<int> ok{0};
        std::thread a([&] { ok += increment(); }), b([&] { ok += increment(); });
        a.join();
        b.join();
        return ok == 2 ? 0 : 1;
    };
    Child first(two_threads), second(two_threads);
    EXPECT_EQ(two_threads(), 0);
    EXPECT_EQ(first.exit_code(), 0);
    EXPECT_EQ(second.exit_code(), 0);
    char text[32] = {};
    int fd = ::open(counter.c_str(), O_RDONLY);
    ASSERT_GT(::pread(fd, text, sizeof text - 1, 0), 0);
    ::close(fd);
    EXPECT_EQ(std::stol(text), 6 * per_thread);
}

TEST_F(NamedMutexTest, NamesAreUsedAsGivenAndBadOnesRefused)
{
    auto slash = NamedMutex::open("Local\\a/b");
    auto underscore = NamedMutex::open("Local\\a_b");
    auto percent = NamedMutex::open("Local\\a%2Fb");
    ASSERT_TRUE(slash && underscore && percent);
    ASSERT_EQ(slash->wait(), WAIT_OBJECT_0);
    DWORD u = WAIT_FAILED, p = WAIT_FAILED;
    std::thread([&] {
        u = underscore->wait(0);
        p = percent->wait(0);
        underscore->release();
        percent->release();
    }).join();
    EXPECT_EQ(u, WAIT_OBJECT_0) << "different names must not share a lock file";
    EXPECT_EQ(p, WAIT_OBJECT_0) << "different names must not share a lock file";
    slash->release();

    EXPECT_FALSE(NamedMutex::open(""));
    EXPECT_FALSE(NamedMutex::open(std::string(300, 'x')));
}

TEST_F(NamedMutexTest, UnusableRuntimeFolderFailsToOpen)
{
    ASSERT_EQ(::close(::open((m_runtime / "file").c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    plat::ScopedEnvironment env("STRIMO_RUNTIME_DIR", (m_runtime / "file").c_str());
    EXPECT_FALSE(NamedMutex::open(db_mutex));
}
