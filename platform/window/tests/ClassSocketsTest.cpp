#include "Recorder.h"

#include "platform/fs/LocalSocket.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

// Runs the poster in a process of its own while this thread keeps pumping;
// its exit status.
int post_from_another_process(const char* class_name, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::string program = REMOTE_POSTER, name = class_name, m = std::to_string(message), w = std::to_string(wParam),
                l = std::to_string(lParam);
    char* args[] = {program.data(), name.data(), m.data(), w.data(), l.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, REMOTE_POSTER, nullptr, nullptr, args, environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ClassSockets : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"RemoteTest", recording_proc, 0);
        received().clear();
    }

    HWND make_window()
    {
        return CreateWindowExW(0, u"RemoteTest", u"remote test", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                               nullptr, nullptr);
    }

    plat::TempFolder runtime;
    plat::ScopedEnvironment runtime_variable{"STRIMO_RUNTIME_DIR", runtime.path().c_str()};
};

}

TEST_F(ClassSockets, AnotherProcessFindsTheWindowByClassAndPostsToIt)
{
    HWND hwnd = make_window();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(post_from_another_process("RemoteTest", 578, 128, 515), 0);
    EXPECT_TRUE(wait_for_message({578, 128, 515}));
    EXPECT_EQ(post_from_another_process("OtherClass", 578, 128, 515), 2);
    DestroyWindow(hwnd);
    EXPECT_EQ(post_from_another_process("RemoteTest", 578, 128, 515), 2) << "its socket went with it";
    EXPECT_FALSE(std::filesystem::exists(runtime / "window-RemoteTest.sock"));
}

TEST_F(ClassSockets, ASocketLeftByAProcessThatDiedIsReplaced)
{
    {
        // Bound, then closed without removing the file, as a killed process leaves it.
        plat::LocalListener dead = plat::listen_local_socket(runtime / "window-RemoteTest.sock", 1);
        ASSERT_EQ(dead.result, plat::ListenResult::Listening);
    }
    ASSERT_TRUE(std::filesystem::exists(runtime / "window-RemoteTest.sock"));
    EXPECT_EQ(post_from_another_process("RemoteTest", 578, 128, 515), 2) << "nobody listens there";
    HWND hwnd = make_window();
    EXPECT_EQ(post_from_another_process("RemoteTest", 1124, 7, -9), 0);
    EXPECT_TRUE(wait_for_message({1124, 7, -9}));
    DestroyWindow(hwnd);
}
