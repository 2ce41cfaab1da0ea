#include "platform/com/ClassFactory.h"
#include "platform/com/Com.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/LocalServer.h"
#include "platform/com/LocalWire.h"
#include "platform/com/tests/RunLocalClient.h"
#include "platform/com/tests/TestSink.h"

#include "platform/fs/UniqueFd.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/sync/Event.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using plat::local_wire::Op;
using plat::local_wire::Reply;
using plat::local_wire::Request;

constexpr CLSID CLSID_TestSink = plat::make_guid("{6A0F3B2C-55D1-4E9A-8C3B-0D7E9F1A2B01}");
constexpr DWORD generous_ms = 10000;
constexpr LONG blocking_value = 999;   // Record(999, x) waits until the test releases it

struct Received {
    LONG first;
    LONG second;
    DWORD thread;
};

// What the served objects saw, across every object of the class.
struct Journal {
    std::mutex lock;
    std::vector<Received> calls;        // guarded by lock
    std::vector<DWORD> release_threads; // guarded by lock: where each object was destroyed
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    plat::Event released{plat::EventReset::Auto, plat::EventState::Clear};
    plat::Event blocked{plat::EventReset::Manual, plat::EventState::Clear};
    plat::Event unblock{plat::EventReset::Manual, plat::EventState::Clear};

    void record(LONG first, LONG second)
    {
        if (inside.fetch_add(1) != 0)
            overlapped = true;
        {
            std::scoped_lock hold(lock);
            calls.push_back({first, second, GetCurrentThreadId()});
        }
        if (first == blocking_value) {
            blocked.set();
            unblock.wait(generous_ms);
        }
        std::this_thread::yield();
        inside.fetch_sub(1);
    }
    void destroyed()
    {
        {
            std::scoped_lock hold(lock);
            release_threads.push_back(GetCurrentThreadId());
        }
        released.set();
    }
};

Journal* journal = nullptr;   // the test's, while one runs

class RecordingSink final : public plat::ComObject<ITestSink> {
public:
    HRESULT Record(LONG first, LONG second) noexcept override
    {
        journal->record(first, second);
        return S_OK;
    }

private:
    ~RecordingSink() override { journal->destroyed(); }
};

// A client speaking the wire by hand, to behave as no proxy does.
class RawClient {
public:
    explicit RawClient(const std::string& socket)
        : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
        m_connected = ::connect(m_fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    bool connected() const { return m_connected; }
    HRESULT create()
    {
        Reply reply{};
        const Request request{Op::Create, 0, ITestSink::iid, {0, 0}};
        if (!plat::local_wire::send_all(m_fd.get(), &request, sizeof request) ||
            !plat::local_wire::receive_all(m_fd.get(), &reply, sizeof reply))
            return RPC_E_DISCONNECTED;
        return reply.hr;
    }
    // Sends a call without waiting for its reply; false once the server has cut the connection.
    bool send_call(LONG first)
    {
        const Request request{Op::Call, 1, GUID_NULL, {first, 0}};
        for (;;) {
            const ssize_t sent = ::send(m_fd.get(), &request, sizeof request, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent == static_cast<ssize_t>(sizeof request))
                return true;
            if (sent >= 0 || errno != EAGAIN)
                return false;
            pollfd writable{m_fd.get(), POLLOUT, 0};
            if (::poll(&writable, 1, generous_ms) != 1 || (writable.revents & (POLLHUP | POLLERR)))
                return false;
        }
    }
    // True when the server ends the connection before the time-out (replies already sent are skipped).
    bool cut_by_server()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(generous_ms);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd readable{m_fd.get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) != 1)
                return false;
            char skipped[256];
            if (::recv(m_fd.get(), skipped, sizeof skipped, MSG_DONTWAIT) <= 0)
                return true;
        }
    }

private:
    plat::UniqueFd m_fd;
    bool m_connected = false;
};

class LocalServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        journal = &m_journal;
        CoInitialize(nullptr);
        plat::add_local_interface(test_sink_marshalling());
    }
    void TearDown() override
    {
        m_journal.unblock.set();
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
            {
                plat::LocalServer server;
                auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<RecordingSink>());
                const HRESULT hr = server.register_class(CLSID_TestSink, factory.get(), test_sink_marshalling());
                registered.set_value(hr);
                if (SUCCEEDED(hr))
                    server.run();
            }
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
    std::string socket_file() const { return runtime / (plat::format_guid(CLSID_TestSink) + ".sock"); }
    static HRESULT create(plat::ComPtr<ITestSink>& out)
    {
        return CoCreateInstance(CLSID_TestSink, nullptr, CLSCTX_LOCAL_SERVER, ITestSink::iid, out.put_void());
    }
    // A call from another thread; its result, or nothing when it did not come back in time.
    static std::optional<HRESULT> record_elsewhere(ITestSink* sink, LONG first)
    {
        auto done = std::async(std::launch::async, [sink, first] { return sink->Record(first, 0); });
        if (done.wait_for(std::chrono::milliseconds(generous_ms)) != std::future_status::ready)
            return std::nullopt;
        return done.get();
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

    const auto run = com_testing::run_local_client(LOCAL_CLIENT, plat::format_guid(CLSID_TestSink) + " 1 -1 7 -1 7 0");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "create 00000000\nrecord 00000000\nrecord 00000000\nrecord 00000000\n");

    stop_server();
    EXPECT_FALSE(std::filesystem::exists(socket_file())) << "the socket goes with its server";
    ASSERT_EQ(m_journal.calls.size(), 3u);
    const Received expected[] = {{1, -1, 0}, {7, -1, 0}, {7, 0, 0}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m_journal.calls[i].first, expected[i].first);
        EXPECT_EQ(m_journal.calls[i].second, expected[i].second);
        EXPECT_EQ(m_journal.calls[i].thread, server_thread.id());
    }
}

TEST_F(LocalServerTest, NoRunningServerIsAClassNotRegistered)
{
    const auto run = com_testing::run_local_client(LOCAL_CLIENT, plat::format_guid(CLSID_TestSink) + " 1 0");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "create 80040154\n");

    // A socket left by a server that died is no server either, and a new server replaces it.
    {
        plat::Thread dead;
        dead.start([]() -> DWORD {
            plat::LocalServer gone;
            auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<RecordingSink>());
            return static_cast<DWORD>(gone.register_class(CLSID_TestSink, factory.get(), test_sink_marshalling()));
        });
        ASSERT_EQ(dead.join(), 0u);
    }
    int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_file().c_str());
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    plat::ComPtr<ITestSink> sink;
    EXPECT_EQ(create(sink), REGDB_E_CLASSNOTREG);
    ASSERT_EQ(start_server(), S_OK);
    ASSERT_EQ(create(sink), S_OK);
    EXPECT_EQ(sink->Record(3, 0), S_OK);
}

TEST_F(LocalServerTest, SecondServerOfALiveClassIsRefused)
{
    ASSERT_EQ(start_server(), S_OK);
    plat::LocalServer second;
    auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<RecordingSink>());
    EXPECT_EQ(second.register_class(CLSID_TestSink, factory.get(), test_sink_marshalling()), CO_E_OBJISREG);
    plat::ComPtr<ITestSink> sink;
    ASSERT_EQ(create(sink), S_OK) << "the first server still serves";
    EXPECT_EQ(sink->Record(1, 0), S_OK);
}

TEST_F(LocalServerTest, InterfacesTheObjectDoesNotServeAreRefused)
{
    ASSERT_EQ(start_server(), S_OK);
    plat::ComPtr<IUnknown> unknown;
    EXPECT_EQ(CoCreateInstance(CLSID_TestSink, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, unknown.put_void()), S_OK);
    EXPECT_TRUE(unknown.as<ITestSink>()) << "IUnknown gives a proxy of the served interface";
    plat::ComPtr<IClassFactory> other;
    EXPECT_EQ(CoCreateInstance(CLSID_TestSink, nullptr, CLSCTX_LOCAL_SERVER, IClassFactory::iid, other.put_void()),
              E_NOINTERFACE);
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
                plat::ComPtr<ITestSink> sink;
                if (FAILED(create(sink)))
                    ++failures;
                for (int i = 0; sink && i < calls; ++i)
                    if (sink->Record(c * 1000 + i, 0) != S_OK)
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
    plat::ComPtr<ITestSink> sink;
    ASSERT_EQ(create(sink), S_OK);
    ASSERT_EQ(sink->Record(1, 0), S_OK);
    stop_server();
    EXPECT_EQ(sink->Record(2, 0), RPC_E_DISCONNECTED);

    plat::ComPtr<IUnknown> other;
    EXPECT_EQ(CoCreateInstance(CLSID_TestSink, nullptr, CLSCTX_LOCAL_SERVER, IUnknown::iid, other.put_void()),
              REGDB_E_CLASSNOTREG);
}

TEST_F(LocalServerTest, ServedObjectIsReleasedOnTheServingThread)
{
    ASSERT_EQ(start_server(), S_OK);
    plat::ComPtr<ITestSink> leaving, staying;
    ASSERT_EQ(create(leaving), S_OK);
    ASSERT_EQ(leaving->Record(1, 0), S_OK);
    // Once another client's call is answered, the serving thread holds nothing of the first.
    ASSERT_EQ(create(staying), S_OK);
    ASSERT_EQ(staying->Record(2, 0), S_OK);

    leaving.reset();   // the connection closes: the I/O thread sees it first
    ASSERT_EQ(m_journal.released.wait(generous_ms), WAIT_OBJECT_0);
    {
        std::scoped_lock hold(m_journal.lock);
        ASSERT_EQ(m_journal.release_threads.size(), 1u);
        EXPECT_EQ(m_journal.release_threads[0], server_thread.id());
    }
    staying.reset();
    stop_server();
    std::scoped_lock hold(m_journal.lock);
    EXPECT_EQ(m_journal.release_threads, (std::vector<DWORD>{server_thread.id(), server_thread.id()}));
}

TEST_F(LocalServerTest, ClientThatQueuesCallsWithoutTakingRepliesIsDropped)
{
    ASSERT_EQ(start_server(), S_OK);
    RawClient flooding(socket_file());
    ASSERT_TRUE(flooding.connected());
    ASSERT_EQ(flooding.create(), S_OK);
    plat::ComPtr<ITestSink> sink;
    ASSERT_EQ(create(sink), S_OK);
    // Hold the serving thread in a call while the flooding client queues far more than a proxy would.
    auto held = std::async(std::launch::async, [&sink] { return sink->Record(blocking_value, 0); });
    ASSERT_EQ(m_journal.blocked.wait(generous_ms), WAIT_OBJECT_0);
    for (LONG i = 0; i < 100 && flooding.send_call(i); ++i) {
    }
    EXPECT_TRUE(flooding.cut_by_server());

    m_journal.unblock.set();
    ASSERT_EQ(held.wait_for(std::chrono::milliseconds(generous_ms)), std::future_status::ready);
    EXPECT_EQ(held.get(), S_OK);
    EXPECT_EQ(record_elsewhere(sink.get(), 5), S_OK) << "the others are still served";
    std::scoped_lock hold(m_journal.lock);
    EXPECT_LT(m_journal.calls.size(), 20u) << "the dropped client's queued calls are not run";
}

TEST_F(LocalServerTest, ClientThatNeverReadsCannotStallTheServerOrItsExit)
{
    ASSERT_EQ(start_server(), S_OK);
    std::optional<RawClient> deaf(socket_file());
    ASSERT_TRUE(deaf->connected());
    ASSERT_EQ(deaf->create(), S_OK);
    // Calls until the server gives up on it; its replies fill the socket meanwhile.
    bool still_served = true;
    for (LONG i = 0; i < 100000 && still_served; ++i)
        still_served = deaf->send_call(i);
    EXPECT_FALSE(still_served) << "the client that never reads is dropped";
    if (still_served)
        deaf.reset();   // so that a server stuck on it can end the test

    plat::ComPtr<ITestSink> sink;
    ASSERT_EQ(create(sink), S_OK);
    EXPECT_EQ(record_elsewhere(sink.get(), 5), S_OK) << "the server still serves";
    auto stopping = std::async(std::launch::async, [this] { stop_server(); });
    EXPECT_EQ(stopping.wait_for(std::chrono::milliseconds(generous_ms)), std::future_status::ready);
}
