#include "platform/dshow/AsyncFileSource.h"

#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/dshow/BasePin.h"
#include "platform/dshow/MediaFormats.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

inline constexpr CLSID CLSID_AsyncReader = make_guid("{E436EBB5-524F-11CE-9F53-0020AF0BA770}");

namespace {

struct FileHandle {
    explicit FileHandle(int fd) : fd(fd) {}
    ~FileHandle()
    {
        if (fd >= 0) ::close(fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    const int fd;
};

}

class AsyncFileSource::OutputPin final : public CBasePin, public IAsyncReader {
public:
    OutputPin(AsyncFileSource* filter, std::unique_ptr<FileHandle> file, const GUID& subtype,
              std::atomic<bool>* growing)
        : CBasePin(u"Output", filter, &filter->m_lock, nullptr, PINDIR_OUTPUT),
          m_file(std::move(file)), m_subtype(subtype), m_growing(growing)
    {
    }

    HRESULT QueryInterface(REFIID riid, void** object) override { return CBasePin::QueryInterface(riid, object); }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IAsyncReader) {
            *object = static_cast<IAsyncReader*>(this);
            AddRef();
            return S_OK;
        }
        return CBasePin::NonDelegatingQueryInterface(riid, object);
    }

    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return *type->Type() == MEDIATYPE_Stream ? S_OK : E_INVALIDARG;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = CMediaType(MEDIATYPE_Stream);
        type->SetSubtype(&m_subtype);
        return S_OK;
    }

    // Reads are synchronous: there is never anything in flight to flush.
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }
    HRESULT EndOfStream() override { return E_UNEXPECTED; }

    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
    HRESULT Length(LONGLONG* total, LONGLONG* available) override;

private:
    std::unique_ptr<FileHandle> m_file;
    const GUID m_subtype;
    std::atomic<bool>* m_growing;
    // The size of the file once it is complete: a parser asks the length for
    // nearly every read, and a complete file no longer changes. -1: not known.
    std::atomic<LONGLONG> m_complete_size{-1};
};

HRESULT AsyncFileSource::OutputPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer)
{
    if (!buffer) return E_POINTER;
    if (position < 0 || length < 0) return E_INVALIDARG;
    LONG done = 0;
    while (done < length) {
        ssize_t n = ::pread(m_file->fd, buffer + done, static_cast<std::size_t>(length - done), position + done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return E_FAIL;
        if (n == 0) break;
        done += static_cast<LONG>(n);
    }
    if (done == length) return S_OK;
    std::memset(buffer + done, 0, static_cast<std::size_t>(length - done));
    return S_FALSE;
}

HRESULT AsyncFileSource::OutputPin::Length(LONGLONG* total, LONGLONG* available)
{
    if (!total || !available) return E_POINTER;
    const bool growing = m_growing->load();
    if (const LONGLONG known = m_complete_size.load(); !growing && known >= 0) {
        *total = *available = known;
        return S_OK;
    }
    struct stat st{};
    if (::fstat(m_file->fd, &st) != 0) return E_FAIL;
    *available = st.st_size;
    *total = growing ? 0 : st.st_size;
    m_complete_size = growing ? -1 : LONGLONG{st.st_size};
    return S_OK;
}

AsyncFileSource::AsyncFileSource(Growth growth)
    : CBaseFilter(u"File Source", &m_lock, CLSID_AsyncReader), m_growing(growth == Growth::Growing)
{
}

AsyncFileSource::~AsyncFileSource() = default;

HRESULT AsyncFileSource::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid == IID_IFileSourceFilter) {
        *object = static_cast<IFileSourceFilter*>(this);
        AddRef();
        return S_OK;
    }
    return CBaseFilter::NonDelegatingQueryInterface(riid, object);
}

HRESULT AsyncFileSource::Load(LPCWSTR file_name, const AM_MEDIA_TYPE* type) try
{
    if (!file_name) return E_POINTER;
    CAutoLock hold(&m_lock);
    if (m_pin) return E_UNEXPECTED;   // a source loads one file in its life
    std::string path = utf16_to_utf8(std::u16string_view(file_name, wide_length(file_name)));
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return HRESULT_FROM_WIN32(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    auto file = std::make_unique<FileHandle>(fd);
    std::u16string name(file_name, wide_length(file_name));
    m_pin = std::make_unique<OutputPin>(this, std::move(file), type ? type->subtype : GUID_NULL, &m_growing);
    m_file_name = std::move(name);
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT AsyncFileSource::GetCurFile(LPWSTR* file_name, AM_MEDIA_TYPE* type)
{
    if (!file_name) return E_POINTER;
    *file_name = nullptr;
    CAutoLock hold(&m_lock);
    if (!m_pin) return S_OK;
    const std::size_t bytes = (m_file_name.size() + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, m_file_name.c_str(), bytes);
    if (type) {
        CMediaType offered;
        HRESULT hr = m_pin->GetMediaType(0, &offered);
        if (SUCCEEDED(hr)) hr = CopyMediaType(type, &offered);
        if (FAILED(hr)) {
            CoTaskMemFree(copy);
            return hr;
        }
    }
    *file_name = copy;
    return S_OK;
}

int AsyncFileSource::GetPinCount()
{
    CAutoLock hold(&m_lock);
    return m_pin ? 1 : 0;
}

CBasePin* AsyncFileSource::GetPin(int n)
{
    CAutoLock hold(&m_lock);
    return n == 0 ? m_pin.get() : nullptr;
}

void AsyncFileSource::set_growth(Growth growth)
{
    m_growing = growth == Growth::Growing;
}

}
