#include "LogFile.h"

#include "platform/fs/Folders.h"

#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::u16string_view level_names[] = {u"FORCE", u"ERROR", u"WARNING", u"INFO", u"DEBUG"};

// The 24-character ctime text with a two-digit day, e.g. "Wed Dec 09 10:00:00 2026".
std::u16string time_text()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32]{};
    std::strftime(text, sizeof text, "%a %b %d %H:%M:%S %Y", &local);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

bool write_all(int fd, const void* bytes, std::size_t length)
{
    const auto* at = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t n = ::write(fd, at, length);
        if (n < 0) return false;
        at += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}

tLogFile::~tLogFile()
{
    if (m_fd >= 0) ::close(m_fd);
}

int tLogFile::Open(const std::string& path, DWORD word, DWORD max_level)
{
    if (m_fd >= 0) Close();
    const std::string folder = std::filesystem::path(path).parent_path().string();
    if (!folder.empty()) plat::create_folder_tree(folder);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size == 0) {
        const unsigned char mark[] = {0xFF, 0xFE};
        write_all(fd, mark, sizeof mark);
    }
    m_fd = fd;
    m_path = path;
    m_word = word;
    m_max_level = max_level;
    Write(LOG_FORCE, u"------------Zuv4Avozod start.-------------");
    return 0;
}

void tLogFile::Write(DWORD level, std::u16string_view text)
{
    if (m_fd < 0 || level == 0 || level > m_max_level || level > std::size(level_names)) return;
    std::u16string line;
    line.reserve(48 + text.size());
    line.append(u"[").append(time_text()).append(u"]");
    line.append(level_names[level - 1]).append(u": ").append(text).append(u"\r\n");
    // UTF-16 little-endian, the byte order the file's mark announces.
    std::string bytes;
    bytes.reserve(line.size() * 2);
    for (char16_t unit : line) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    // Written straight to the kernel: nothing stays buffered in the process.
    write_all(m_fd, bytes.data(), bytes.size());
}

void tLogFile::Close()
{
    Write(LOG_FORCE, u"------------Zuv4Avozod end.-------------");
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}
