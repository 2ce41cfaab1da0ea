#include "outside/quelm/script/MediaSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace quelm {
namespace {

constexpr const char* user_name = "Quelm";

class FileSource final : public MediaSource {
public:
    explicit FileSource(int fd) : m_fd(fd) {}
    ~FileSource() override { ::close(m_fd); }
    LONG read(LONGLONG offset, void* buffer, LONG size, LONG* read) override
    {
        *read = 0;
        if (offset >= total())
            return OSTREL_END_OF_CONTENT;
        ssize_t n = pread(m_fd, buffer, static_cast<std::size_t>(size), offset);
        if (n < 0)
            return OSTREL_CANCELLED;
        *read = static_cast<LONG>(n);
        return OSTREL_OK;
    }
    LONGLONG total() override
    {
        struct stat st {};
        return fstat(m_fd, &st) == 0 ? st.st_size : 0;
    }

private:
    const int m_fd;
};

class DownloadSource final : public MediaSource {
public:
    DownloadSource(IOstrelItemStore* store, const DWORD id[4]) : m_store(store) { std::copy(id, id + 4, m_id); }
    ~DownloadSource() override
    {
        if (m_item)
            m_item->Release(user_name);
    }
    LONG read(LONGLONG offset, void* buffer, LONG size, LONG* read) override
    {
        *read = 0;
        if (!find())
            return OSTREL_NOT_ARRIVED;
        return m_item->Read(offset, buffer, size, read);
    }
    LONGLONG total() override { return find() ? m_item->TotalSize() : 0; }

private:
    bool find()
    {
        if (!m_item && m_store)
            m_item = m_store->Lookup(m_id, user_name);
        return m_item != nullptr;
    }

    IOstrelItemStore* const m_store;
    DWORD m_id[4];
    IOstrelItem* m_item = nullptr;   // released with the source
};

}

std::unique_ptr<MediaSource> open_file(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::make_unique<FileSource>(fd);
}

std::unique_ptr<MediaSource> open_download(IOstrelItemStore* store, const DWORD id[4])
{
    return std::make_unique<DownloadSource>(store, id);
}

}
