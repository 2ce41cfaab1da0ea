#pragma once
// While alive, the default SQLite file layer of the process: the system's own,
// except that writes fail with SQLITE_FULL while the disk is "full".

#include <memory>

namespace feeddb_test {

class FullDiskVfs {
public:
    FullDiskVfs();
    ~FullDiskVfs();
    FullDiskVfs(const FullDiskVfs&) = delete;
    FullDiskVfs& operator=(const FullDiskVfs&) = delete;

    enum class Full { No, Everything, DatabaseFileOnly };
    void set_full(Full full);

    struct Shim;   // the registered file layer, with the real one it wraps

private:
    std::unique_ptr<Shim> m_shim;
};

}
