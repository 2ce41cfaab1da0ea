#include "ClassSockets.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"
#include "platform/fs/LocalSocket.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

#pragma pack(push, 1)
struct PostRecord {
    std::uint32_t message;
    std::uint64_t wparam;
    std::int64_t lparam;
};
#pragma pack(pop)

// Remote handles sit far above every local one.
constexpr std::uintptr_t remote_base = std::uintptr_t(0x7e) << 48;

std::optional<std::string> socket_path(const std::u16string& class_name)
{
    const auto folder = runtime_folder();
    if (!folder)
        return std::nullopt;
    std::string name;
    for (unsigned char c : utf16_to_utf8(class_name)) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
            name += char(c);
        } else {
            static const char digits[] = "0123456789ABCDEF";
            name += '%';
            name += digits[c >> 4];
            name += digits[c & 15];
        }
    }
    return *folder + "/window-" + name + ".sock";
}

// Reads one record from a peer of this user, giving up after a second.
bool read_record(int fd, PostRecord& record)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid())
        return false;
    const timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    auto* at = reinterpret_cast<char*>(&record);
    std::size_t got = 0;
    while (got < sizeof record) {
        const ssize_t n = ::recv(fd, at + got, sizeof record - got, 0);
        if (n <= 0)
            return false;
        got += std::size_t(n);
    }
    return true;
}

class ClassSockets {
public:
    ~ClassSockets()
    {
        {
            std::scoped_lock hold(m_lock);
            m_stopping = true;
        }
        wake();
        if (m_io.joinable())
            m_io.join();
    }

    void publish(HWND hwnd, const std::u16string& class_name)
    {
        // The layer's own classes ("#32770", dialogs and menus) stay private.
        if (class_name.empty() || class_name[0] == u'#')
            return;
        const auto path = socket_path(class_name);
        if (!path)
            return;
        std::scoped_lock hold(m_lock);
        for (const auto& [_, served] : m_served)
            if (served.path == *path)
                return;
        LocalListener made = listen_local_socket(*path, 8);
        if (made.result != ListenResult::Listening)
            return;
        m_served[hwnd] = Served{*path, made.inode, std::move(made.fd)};
        start_io();
        wake();
    }

    void withdraw(HWND hwnd)
    {
        std::scoped_lock hold(m_lock);
        const auto found = m_served.find(hwnd);
        if (found == m_served.end())
            return;
        struct stat named {};
        if (::stat(found->second.path.c_str(), &named) == 0 && named.st_ino == found->second.inode)
            ::unlink(found->second.path.c_str());
        // The I/O thread may be polling it: it closes there.
        m_closing.push_back(std::move(found->second.fd));
        m_served.erase(found);
        wake();
    }

    HWND find(const std::u16string& class_name)
    {
        const auto path = socket_path(class_name);
        if (!path || !connect_local_socket(*path).valid())
            return nullptr;
        std::scoped_lock hold(m_lock);
        for (const auto& [handle, known] : m_remote)
            if (known == *path)
                return handle;
        HWND handle = reinterpret_cast<HWND>(remote_base + 4 * (m_remote.size() + 1));
        m_remote[handle] = *path;
        return handle;
    }

    bool is_remote(HWND hwnd)
    {
        std::scoped_lock hold(m_lock);
        return m_remote.count(hwnd) != 0;
    }

    BOOL post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        std::string path;
        {
            std::scoped_lock hold(m_lock);
            const auto found = m_remote.find(hwnd);
            if (found == m_remote.end())
                return FALSE;
            path = found->second;
        }
        const UniqueFd fd = connect_local_socket(path);
        const PostRecord record{message, std::uint64_t(wParam), std::int64_t(lParam)};
        return fd.valid() && ::send(fd.get(), &record, sizeof record, MSG_NOSIGNAL) == ssize_t(sizeof record);
    }

private:
    struct Served {
        std::string path;
        std::uint64_t inode;
        UniqueFd fd;
    };

    // With m_lock held.
    void start_io()
    {
        if (m_io.joinable())
            return;
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_wake_read = UniqueFd(ends[0]);
        m_wake_write = UniqueFd(ends[1]);
        m_io = std::thread([this] { io_loop(); });
    }

    void wake()
    {
        if (m_wake_write.valid()) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_wake_write.get(), &byte, 1);
        }
    }

    void io_loop() noexcept
    {
        for (;;) {
            std::vector<pollfd> watched{{m_wake_read.get(), POLLIN, 0}};
            std::vector<HWND> owners{nullptr};
            {
                std::scoped_lock hold(m_lock);
                if (m_stopping)
                    return;
                m_closing.clear();
                for (const auto& [hwnd, served] : m_served) {
                    watched.push_back({served.fd.get(), POLLIN, 0});
                    owners.push_back(hwnd);
                }
            }
            if (::poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR)
                return;
            if (watched[0].revents) {
                char drain[64];
                while (::read(m_wake_read.get(), drain, sizeof drain) > 0) {
                }
                continue;   // the set may have changed: nothing polled may be used
            }
            for (std::size_t i = 1; i < watched.size(); ++i)
                if (watched[i].revents & POLLIN)
                    serve(watched[i].fd, owners[i]);
        }
    }

    static void serve(int listener, HWND hwnd)
    {
        const UniqueFd peer(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        PostRecord record{};
        if (peer.valid() && read_record(peer.get(), record))
            PostMessageW(hwnd, record.message, WPARAM(record.wparam), LPARAM(record.lparam));
    }

    std::mutex m_lock;
    std::map<HWND, Served> m_served;          // guarded by m_lock
    std::vector<UniqueFd> m_closing;          // guarded by m_lock; closed by the I/O thread
    std::map<HWND, std::string> m_remote;     // guarded by m_lock
    bool m_stopping = false;                  // guarded by m_lock
    UniqueFd m_wake_read, m_wake_write;       // made once, before the I/O thread
    std::thread m_io;                         // last: joined before the rest go
};

ClassSockets& class_sockets()
{
    static ClassSockets sockets;
    return sockets;
}

}

void publish_window_class(HWND hwnd, const std::u16string& class_name) { class_sockets().publish(hwnd, class_name); }
void withdraw_window_class(HWND hwnd) { class_sockets().withdraw(hwnd); }
HWND find_remote_window(const std::u16string& class_name) { return class_sockets().find(class_name); }
bool is_remote_window(HWND hwnd) { return class_sockets().is_remote(hwnd); }
BOOL post_to_remote_window(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return class_sockets().post(hwnd, message, wParam, lParam);
}

}
