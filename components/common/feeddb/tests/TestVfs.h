#pragma once
// While alive, the default SQLite file layer of the process: the system's own,
// except that writes fail with SQLITE_FULL while the disk is "full", and that
// a test can wait until a connection sleeps waiting for another one's lock.

#include <chrono>
#include <memory>

namespace feeddb_test {

class TestVfs {
public:
    TestVfs();
    ~TestVfs();
    TestVfs(const TestVfs&) = delete;
    TestVfs& operator=(const TestVfs&) = delete;

    enum class Full { No, Everything, DatabaseFileOnly };
    void set_full(Full full);
    // Waits until some connection has slept in its busy wait since this layer
    // was made, at most timeout; whether one has.
    bool wait_for_busy_wait(std::chrono::milliseconds timeout);

    struct Shim;   // the registered file layer, with the real one it wraps

private:
    std::unique_ptr<Shim> m_shim;
};

}
