#include "NamedMutex.h"

#include "Deadline.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/Folders.h"
#include "platform/fs/UniqueFd.h"

#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat {

// Files of a name in the runtime folder: "<encoded>.lock", held exclusively by
// the owning process; "<encoded>.open", held shared by every process with a handle
// open; "mutex-gate.lock", held exclusively while a process decides whether a
// name already exists. The lock file holds the owner's pid while owned, so a taker
// that finds a pid there knows the owner died holding it.
struct NamedMutex::Shared {
    std::string name;
    std::string lock_path;
    UniqueFd presence;                  // shared flock on "<encoded>.open" while this process has handles

    std::mutex lock;
    std::condition_variable freed;
    std::thread::id owner;              // guarded by lock; set from the start of a take, empty when free
    unsigned count = 0;                 // guarded by lock; completed takes by owner not yet released
    UniqueFd held;                      // guarded by lock; the lock file, flocked, while count > 0
};

namespace {

// The names open in this process; an entry lives as long as a handle to it.
struct NameTable {
    std::mutex lock;
    std::map<std::string, std::weak_ptr<NamedMutex::Shared>, std::less<>> names;   // guarded by lock
};

// Never destroyed: a handle may close during the process's exit, after the
// statics made later than the table (the feed database's) have gone.
NameTable& name_table()
{
    static NameTable* const table = new NameTable;
    return *table;
}

constexpr std::size_t max_name_length = 200;

// Any name becomes one safe file name: unusual bytes are written as %XX.
std::string encode_name(std::string_view name)
{
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || std::strchr("{}-_.", c)) {
            out += static_cast<char>(c);
        } else {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

UniqueFd open_lock_file(const std::string& path)
{
    return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
}

bool flock_retrying(int fd, int operation)
{
    while (::flock(fd, operation) != 0)
        if (errno != EINTR) return false;
    return true;
}

// Opens the presence file and holds it shared; reports whether another process held it.
bool join_presence(const std::string& folder, const std::string& base, UniqueFd& presence, bool& existed)
{
    UniqueFd gate = open_lock_file(join_path(folder, "mutex-gate.lock"));
    presence = open_lock_file(base + ".open");
    if (!gate.valid() || !presence.valid() || !flock_retrying(gate.get(), LOCK_EX)) return false;
    // Under the gate nobody else holds the presence file exclusively, so the test and
    // the shared lock that follows it are one step to every other opener.
    existed = ::flock(presence.get(), LOCK_EX | LOCK_NB) != 0;
    return flock_retrying(presence.get(), LOCK_SH);
}

// Takes the flock of the lock file by the deadline; WAIT_ABANDONED_0 when the previous
// owner left its pid behind.
DWORD take_lock_file(const std::string& path, const Deadline& deadline, UniqueFd& held)
{
    UniqueFd file = open_lock_file(path);
    if (!file.valid()) return WAIT_FAILED;
    if (deadline.infinite()) {
        if (!flock_retrying(file.get(), LOCK_EX)) return WAIT_FAILED;
    } else {
        // flock has no time-out: poll, briefly.
        while (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) return WAIT_FAILED;
            if (deadline.passed()) return WAIT_TIMEOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    char left[32];
    const bool abandoned = ::pread(file.get(), left, sizeof left, 0) > 0;
    const std::string pid = std::to_string(::getpid());
    if (::ftruncate(file.get(), 0) != 0 || ::pwrite(file.get(), pid.data(), pid.size(), 0) < 0) return WAIT_FAILED;
    held = std::move(file);
    return abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
}

}

std::unique_ptr<NamedMutex> NamedMutex::open(std::string_view name)
{
    const std::string encoded = encode_name(name);
    if (name.empty() || encoded.size() > max_name_length) {
        debug_log("named mutex: unusable name \"" + std::string(name) + "\"");
        return nullptr;
    }
    auto& table = name_table();
    std::scoped_lock hold(table.lock);
    if (auto it = table.names.find(name); it != table.names.end())
        if (auto shared = it->second.lock()) return std::unique_ptr<NamedMutex>(new NamedMutex(shared, true));

    const auto folder = runtime_folder();
    if (!folder) return nullptr;
    const std::string base = join_path(*folder, encoded);
    auto shared = std::make_shared<Shared>();
    shared->name = std::string(name);
    shared->lock_path = base + ".lock";
    bool existed = false;
    if (!join_presence(*folder, base, shared->presence, existed)) {
        debug_log("named mutex: cannot open lock files " + base + ": " + std::strerror(errno));
        return nullptr;
    }
    table.names[shared->name] = shared;
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::move(shared), existed));
}

NamedMutex::NamedMutex(std::shared_ptr<Shared> shared, bool already_existed)
    : m_shared(std::move(shared)), m_already_existed(already_existed)
{
}

NamedMutex::~NamedMutex()
{
    // The last handle ends the name under the table lock, so that a new opener never
    // finds this process's presence lock still held.
    auto& table = name_table();
    std::scoped_lock hold(table.lock);
    const std::string name = m_shared->name;
    m_shared.reset();
    if (auto it = table.names.find(name); it != table.names.end() && it->second.expired()) table.names.erase(it);
}

DWORD NamedMutex::wait(DWORD timeout_ms)
{
    Shared& s = *m_shared;
    const auto self = std::this_thread::get_id();
    std::unique_lock hold(s.lock);
    if (s.owner == self) {
        ++s.count;
        return WAIT_OBJECT_0;
    }
    const Deadline deadline(timeout_ms);
    if (!deadline.wait(s.freed, hold, [&] { return s.owner == std::thread::id(); })) return WAIT_TIMEOUT;
    s.owner = self;   // other threads of this process now wait above, not on the file
    hold.unlock();

    UniqueFd held;
    const DWORD result = take_lock_file(s.lock_path, deadline, held);
    if (result == WAIT_FAILED) debug_log("named mutex: cannot lock " + s.lock_path + ": " + std::strerror(errno));

    hold.lock();
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED_0) {
        s.count = 1;
        s.held = std::move(held);
    } else {
        s.owner = std::thread::id();
        hold.unlock();
        s.freed.notify_one();
    }
    return result;
}

bool NamedMutex::release()
{
    Shared& s = *m_shared;
    {
        std::scoped_lock hold(s.lock);
        if (s.owner != std::this_thread::get_id() || s.count == 0) return false;
        if (--s.count > 0) return true;
        // An empty lock file tells the next taker that this owner let go in order.
        if (::ftruncate(s.held.get(), 0) != 0) debug_log("named mutex: cannot clear " + s.lock_path);
        s.held.reset();
        s.owner = std::thread::id();
    }
    s.freed.notify_one();
    return true;
}

}
