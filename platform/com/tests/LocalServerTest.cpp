#include "platform/com/ClassFactory.h"
#include "platform/com/Com.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/IFeedNotifier.h"
#include "platform/com/LocalServer.h"
#include "platform/com/tests/RunLocalClient.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>
#include <mutex>
#include <vector>

namespace {

constexpr CLSID CLSID_TestNotifier = plat::make_guid("{6A0F3B2C-55D1-4E9A-8C3B-0D7E9F1A2B01}");

struct Received {
    int method;
    LONG id;
    VARIANT_BOOL before;
    DWORD thread;
};

// What the served objects saw, across every object of the class.
struct Journal {
    std::mutex lock;
    std::vector<Received> calls;   // guarded by lock
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};

    void record(int method, LONG id, VARIANT_BOOL before)
    {
        if (inside.fetch_add(1) != 0)
            overlapped = true;
        {
            std::scoped_lock hold(lock);
            calls.push_back({method, id, before, GetCurrentThreadId()});
        }
        std::this_thread::yield();
        inside.fetch_sub(1);
    }
};

Journal* journal = nullptr;   // the test's, while one runs

class RecordingNotifier final : public plat::ComObject<IFeedNotifier> {
public:
    HRESULT NotifySubscribe(LONG id) noexcept override
    {
        journal->record(1, id, 0);
        return S_OK;
    }
    HRESULT NotifyUnsubscribe(LONG id, VARIANT_BOOL before) noexcept override
    {
        journal->record(2, id, before);
        return S_OK;
    }
};

class LocalServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        journal = &m_journal;
        CoInitialize(nullptr);
    }
    void TearDown() override
    {
        stop_server();
        CoUninitialize();
        journal = nullptr;
    }

    // Serves the class on a thread of its own, as the program's COM-server thread does.
    HRESULT start_server()
    {
        std::promise<HRESULT> registered;
        auto result = registered.get_future();
        server_thread.start([&registered]() -> DWORD {
            CoInitialize(nullptr);
            plat::LocalServer server;
            auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<RecordingNotifier>());
            const HRESULT hr = server.register_class(CLSID_TestNotifier, factory.get());
            registered.set_value(hr);
            if (SUCCEEDED(hr))
                server.run();
            CoUninitialize();
            return 0;
        });
        return result.get();
    }
    void stop_server()
    {
        if (server_thread.joinable()) {
            PostThreadMessageW(server_thread.id(), WM_QUIT, 0, 0);
            server_thread.join();
        }
    }
    std::string socket_file() const { return runtime / (plat::format_guid(CLSID_TestNotifier) + ".sock"); }
    static HRESULT create(plat::ComPtr<IFeedNotifier>& out)
    {
        return CoCreateInstance(CLSID_TestNotifier, nullptr, CLSCTX_LOCAL_SERVER, IFeedNotifier::iid, out.put_void());
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder runtime;
    plat::ScopedEnvironment runtime_variable{"STRIMO_RUNTIME_DIR", runtime.path().c_str()};
    Journal m_journal;
    plat::Thread server_thread;
};

}

TEST_F(LocalServerTest, CallsFromAnotherProcessRunOnTheServingThread)
{
    ASSERT_EQ(start_server(), S_OK);
    struct stat about {};
    ASSERT_EQ(::stat(socket_file().c_str(), &about), 0);
    EXPECT_EQ(about.st_mode & 0777, 0600u);

    const auto run = com_testing::run_local_client(
        LOCAL_CLIENT, plat::format_guid(CLSID_TestNotifier) + " subscribe -1 unsubscribe 7 -1 unsubscribe 7 0");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "create 00000000\ncall 00000000\ncall 00000000\ncall 00000000\n");

    stop_server();
    EXPECT_FALSE(std::filesystem::exists(socket_file())) << "the socket goes with its server";
    ASSERT_EQ(m_journal.calls.size(), 3u);
    const Received expected[] = {{1, -1, 0, 0}, {2, 7, -1, 0}, {2, 7, 0, 0}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m_journal.calls[i].method, expected[i].method);
        EXPECT_EQ(m_journal.calls[i].id, expected[i].id);
        EXPECT_EQ(m_journal.calls[i].before, expected[i].before);
        EXPECT_EQ(m_journal.calls[i].thread, server_thread.id());
    }
}

TEST_F(LocalServerTest, NoRunningServerIsAClassNotRegistered)
{
    const auto run = com_testing::run_local_client(LOCAL_CLIENT, plat::format_guid(CLSID_TestNotifier) + " subscribe 1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "create 80040154\n");

    // A socket left by a server that died is no server either, and a new server replaces it.
    {
        plat::Thread dead;
        dead.start([]() -> DWORD {
            plat::LocalServer gone;
            auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<RecordingNotifier>());
            return static_cast<DWORD>(gone.register_class(CLSID_TestNotifier, factory.get()));
        });
        ASSERT_EQ(dead.join(), 0u);
    }
    int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_file().c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    plat::ComPtr<IFeedNotifier> notifier;
    EXPECT_EQ(create(notifier), REGDB_E_CLASSNOTREG);
    ASSERT_EQ(start_server(), S_OK);
    ASSERT_EQ(create(notifier), S_OK);
    EXPECT_EQ(notifier->NotifySubscribe(3), S_OK);
}

TEST_F(LocalServerTest, SecondServerOfALiveClassIsRefused)
{
    ASSERT_EQ(start_server(), S_OK);
    plat::LocalServer second;
    auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<RecordingNotifier>());
    EXPECT_EQ(second.register_class(CLSID_TestNotifier, factory.get()), CO_E_OBJISREG);
    plat::ComPtr<IFeedNotifier> notifier;
    ASSERT_EQ(create(notifier), S_OK) << "the first server still serves";
    EXPECT_EQ(notifier->NotifySubscribe(1), S_OK);
}

TEST_F(LocalServerTest, CallsFromManyClientsNeverOverlap)
{
    ASSERT_EQ(start_server(), S_OK);
    constexpr int clients = 4, calls = 25;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&failures, c] {
            CoInitialize(nullptr);
            {
                plat::ComPtr<IFeedNotifier> notifier;
                if (FAILED(create(notifier)))
                    ++failures;
                for (int i = 0; notifier && i < calls; ++i)
                    if (notifier->NotifySubscribe(c * 1000 + i) != S_OK)
                        ++failures;
            }
            CoUninitialize();
        });
    }
    for (auto& t : threads)
        t.join();
    stop_server();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_FALSE(m_journal.overlapped.load());
    EXPECT_EQ(m_journal.calls.size(), static_cast<std::size_t>(clients * calls));
}

TEST_F(LocalServerTest, ProxyOfAServerThatQuitFailsCleanly)
{
    ASSERT_EQ(start_server(), S_OK);
    plat::ComPtr<IFeedNotifier> notifier;
    ASSERT_EQ(create(notifier), S_OK);
    ASSERT_EQ(notifier->NotifySubscribe(1), S_OK);
    stop_server();
    EXPECT_EQ(notifier->NotifySubscribe(2), RPC_E_DISCONNECTED);
    EXPECT_EQ(notifier->NotifyUnsubscribe(2, 0), RPC_E_DISCONNECTED);

    plat::ComPtr<IUnknown> other;
    EXPECT_EQ(CoCreateInstance(CLSID_TestNotifier, nullptr, CLSCTX_LOCAL_SERVER, IUnknown::iid, other.put_void()),
              REGDB_E_CLASSNOTREG);
}
