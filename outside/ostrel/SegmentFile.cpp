#include "outside/ostrel/SegmentFile.h"

#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace ostrel {
namespace {

constexpr char magic[8] = {'O', 'S', 'T', 'S', 'E', 'G', '0', '1'};
constexpr off_t marks_at = 16;

bool read_all(int fd, void* buffer, std::size_t size, off_t at)
{
    auto* p = static_cast<char*>(buffer);
    while (size > 0) {
        ssize_t n = pread(fd, p, size, at);
        if (n <= 0)
            return false;
        p += n, size -= static_cast<std::size_t>(n), at += n;
    }
    return true;
}

bool write_all(int fd, const void* buffer, std::size_t size, off_t at)
{
    auto* p = static_cast<const char*>(buffer);
    while (size > 0) {
        ssize_t n = pwrite(fd, p, size, at);
        if (n <= 0)
            return false;
        p += n, size -= static_cast<std::size_t>(n), at += n;
    }
    return true;
}

LONGLONG segments_for(LONGLONG total)
{
    return (total + OSTREL_SEGMENT_SIZE - 1) / OSTREL_SEGMENT_SIZE;
}

// The total and marks a map file holds; a damaged or foreign file gives an empty map.
void parse_map(const std::string& bytes, const std::filesystem::path& map, LONGLONG& total, std::vector<BYTE>& marks)
{
    total = -1;
    marks.clear();
    if (bytes.size() < static_cast<std::size_t>(marks_at) || std::memcmp(bytes.data(), magic, 8) != 0) {
        if (!bytes.empty())
            plat::debug_log("ostrel: not a segment map, starting over: " + map.string());
        return;
    }
    std::memcpy(&total, bytes.data() + 8, 8);
    marks.assign(bytes.begin() + marks_at, bytes.end());
    if (total < -1 || (total >= 0 && static_cast<LONGLONG>(marks.size()) > segments_for(total))) {
        plat::debug_log("ostrel: segment map damaged, starting over: " + map.string());
        total = -1;
        marks.clear();
    }
    for (auto& m : marks)
        m = m == 1 ? 1 : 0;
}

std::string map_image(LONGLONG total, const std::vector<BYTE>& marks)
{
    std::string image(magic, sizeof magic);
    image.append(reinterpret_cast<const char*>(&total), sizeof total);
    image.append(marks.begin(), marks.end());
    return image;
}

}

std::unique_ptr<SegmentFile> SegmentFile::open(const std::filesystem::path& target,
                                               const std::filesystem::path& map)
{
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    std::filesystem::create_directories(map.parent_path(), ec);
    int data_fd = ::open(target.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (data_fd < 0) {
        plat::debug_log("ostrel: cannot open " + target.string());
        return nullptr;
    }
    LONGLONG total = -1;
    std::vector<BYTE> marks;
    const plat::FileData old = plat::read_file(map.string());
    parse_map(old.bytes, map, total, marks);
    // A map that needs rewriting is replaced in one step: a kill during the
    // rewrite leaves the old map, never an empty one.
    const std::string image = map_image(total, marks);
    if ((!old || old.bytes != image) && plat::write_file_atomic(map.string(), image) != 0) {
        ::close(data_fd);
        plat::debug_log("ostrel: cannot write " + map.string());
        return nullptr;
    }
    int map_fd = ::open(map.c_str(), O_RDWR | O_CLOEXEC);
    if (map_fd < 0) {
        ::close(data_fd);
        plat::debug_log("ostrel: cannot open " + map.string());
        return nullptr;
    }
    return std::unique_ptr<SegmentFile>(new SegmentFile(data_fd, map_fd, total, std::move(marks)));
}

SegmentFile::SegmentFile(int data_fd, int map_fd, LONGLONG total, std::vector<BYTE> marks)
    : m_data_fd(data_fd), m_map_fd(map_fd), m_total(total), m_marks(std::move(marks))
{
    m_present = std::count(m_marks.begin(), m_marks.end(), BYTE{1});
}

SegmentFile::~SegmentFile()
{
    ::close(m_data_fd);
    ::close(m_map_fd);
}

LONGLONG SegmentFile::total() const
{
    std::scoped_lock hold(m_lock);
    return m_total;
}

LONGLONG SegmentFile::segment_end(LONGLONG index) const
{
    LONGLONG end = (index + 1) * OSTREL_SEGMENT_SIZE;
    return m_total >= 0 ? std::min(end, m_total) : end;
}

LONGLONG SegmentFile::downloaded() const
{
    std::scoped_lock hold(m_lock);
    if (m_present == 0)
        return 0;
    LONGLONG bytes = m_present * OSTREL_SEGMENT_SIZE;
    LONGLONG last = static_cast<LONGLONG>(m_marks.size()) - 1;
    if (m_total >= 0 && last == segments_for(m_total) - 1 && m_marks[static_cast<std::size_t>(last)])
        bytes -= (last + 1) * OSTREL_SEGMENT_SIZE - m_total;
    return bytes;
}

bool SegmentFile::complete() const
{
    std::scoped_lock hold(m_lock);
    return m_total >= 0 && m_present == segments_for(m_total);
}

bool SegmentFile::present(LONGLONG index) const
{
    std::scoped_lock hold(m_lock);
    return index >= 0 && index < static_cast<LONGLONG>(m_marks.size()) && m_marks[static_cast<std::size_t>(index)];
}

std::optional<SegmentRun> SegmentFile::next_missing(LONGLONG from) const
{
    std::scoped_lock hold(m_lock);
    auto missing = [&](LONGLONG i) {
        return i >= static_cast<LONGLONG>(m_marks.size()) || !m_marks[static_cast<std::size_t>(i)];
    };
    if (m_total < 0) {
        LONGLONG first = 0;
        while (!missing(first))
            ++first;
        return SegmentRun{first, -1};
    }
    LONGLONG count = segments_for(m_total);
    if (m_present == count)
        return std::nullopt;
    from = std::clamp<LONGLONG>(from, 0, count - 1);
    LONGLONG first = from;
    while (!missing(first))
        first = (first + 1) % count;
    LONGLONG last = first;
    while (last + 1 < count && missing(last + 1))
        ++last;
    return SegmentRun{first, last};
}

bool SegmentFile::set_total(LONGLONG total)
{
    std::scoped_lock hold(m_lock);
    if (m_total == total)
        return true;
    bool kept = m_total < 0 && static_cast<LONGLONG>(m_marks.size()) <= segments_for(total);
    if (!kept) {
        m_marks.clear();
        m_present = 0;
        if (ftruncate(m_map_fd, marks_at) != 0 || ftruncate(m_data_fd, 0) != 0)
            plat::debug_log("ostrel: cannot empty a download that changed");
    }
    m_total = total;
    store_total();
    return kept;
}

void SegmentFile::store_total()
{
    if (!write_all(m_map_fd, &m_total, 8, 8))
        plat::debug_log("ostrel: cannot write a segment map");
}

void SegmentFile::mark(LONGLONG index)
{
    if (index >= static_cast<LONGLONG>(m_marks.size()))
        m_marks.resize(static_cast<std::size_t>(index + 1), 0);
    auto& m = m_marks[static_cast<std::size_t>(index)];
    if (m)
        return;
    m = 1;
    ++m_present;
    const BYTE one = 1;
    if (!write_all(m_map_fd, &one, 1, marks_at + index))
        plat::debug_log("ostrel: cannot write a segment map");
}

bool SegmentFile::write(LONGLONG run_start, LONGLONG position, const void* data, std::size_t size)
{
    if (!write_all(m_data_fd, data, size, position))
        return false;
    LONGLONG end = position + static_cast<LONGLONG>(size);
    std::scoped_lock hold(m_lock);
    // A run is written in order: segments before the one holding position
    // were marked by earlier writes, so each write looks at its own bytes only.
    for (LONGLONG i = std::max(run_start, position) / OSTREL_SEGMENT_SIZE; i * OSTREL_SEGMENT_SIZE < end; ++i) {
        if (m_total >= 0 && i * OSTREL_SEGMENT_SIZE >= m_total)
            break;
        if (segment_end(i) <= end)
            mark(i);
    }
    return true;
}

void SegmentFile::finish_unknown_size(LONGLONG end)
{
    std::scoped_lock hold(m_lock);
    if (m_total >= 0)
        return;
    m_total = end;
    store_total();
    LONGLONG count = segments_for(end);
    if (count > 0)
        mark(count - 1);
    if (static_cast<LONGLONG>(m_marks.size()) > count)
        m_marks.resize(static_cast<std::size_t>(count));
}

LONG SegmentFile::read(LONGLONG offset, void* buffer, LONG size, LONG* read) const
{
    if (!buffer || !read || size < 0 || offset < 0)
        return OSTREL_FAILURE;
    *read = 0;
    LONGLONG end = offset + size;
    {
        std::scoped_lock hold(m_lock);
        if (m_total >= 0 && offset >= m_total)
            return OSTREL_END_OF_CONTENT;
        if (m_total >= 0)
            end = std::min(end, m_total);
        LONGLONG have = offset;
        while (have < end) {
            LONGLONG i = have / OSTREL_SEGMENT_SIZE;
            if (i >= static_cast<LONGLONG>(m_marks.size()) || !m_marks[static_cast<std::size_t>(i)])
                break;
            have = segment_end(i);
        }
        if (have == offset && size > 0)
            return OSTREL_NOT_ARRIVED;
        end = std::min(end, have);
    }
    auto n = static_cast<std::size_t>(end - offset);
    if (n > 0 && !read_all(m_data_fd, buffer, n, offset))
        return OSTREL_CANCELLED;
    *read = static_cast<LONG>(n);
    return OSTREL_OK;
}

}
