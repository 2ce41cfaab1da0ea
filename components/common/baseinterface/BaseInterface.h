#pragma once
// The object model the cache and downloader libraries share in place of COM:
// interfaces are asked for by number, and uses are counted per named user.

#include "platform/base/Types.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>

// Result of every interface operation of both libraries.
using BaseResult = int;
inline constexpr BaseResult RESULT_OK = 0;
inline constexpr BaseResult RESULT_FAIL = 100;
inline constexpr BaseResult RESULT_TIMEOUT = 101;
inline constexpr BaseResult RESULT_NOT_CONTIGUOUS = 104;
inline constexpr BaseResult RESULT_NO_INTERFACE = 105;
inline constexpr BaseResult RESULT_SIZE_MISMATCH = 106;
inline constexpr BaseResult RESULT_UNKNOWN_ITEM = 107;
inline constexpr BaseResult RESULT_CANCELLED = 109;
inline constexpr BaseResult RESULT_UNDETERMINED = 112;
inline constexpr BaseResult RESULT_END_OF_CONTENT = 1000;
inline constexpr BaseResult RESULT_NOT_ARRIVED = 1001;
inline constexpr BaseResult RESULT_CACHE_FULL = 1003;

// Numeric interface ids. Every object answers ID_IBaseInterface with its main interface.
enum InterfaceId : int {
    ID_IBaseInterface = 100,
    ID_ICorvaEventHandler = 101,
    ID_IMurrel = 200,
    ID_IDataCacheItem = 201,
    ID_ITVServiceCacheInfo = 202,
    ID_ITVCacheManager = 203,
    ID_ITVCacheItem = 204,
    ID_ICacheBufferLeak = 205,
    ID_IP2PSettings = 300,
    ID_IDownloadCore = 400,
    ID_ICorvaDownloadItem = 401,
    ID_IHTTPDownload = 403,
    ID_ISegmentMaster = 404,
    ID_ISegmentSlave = 405,
    ID_IVessikDownload = 406,
    ID_IZephrolSet = 408,
};

// Runs an interface operation inside the library: whatever it throws ends
// here as 100, so no exception crosses an interface or an export.
template <class Operation>
BaseResult guarded_call(Operation&& operation) noexcept
{
    try {
        return operation();
    } catch (...) {
        return RESULT_FAIL;
    }
}

// Every public interface of both libraries starts with these three slots.
// They never throw.
class IBaseInterface {
public:
    virtual BaseResult AddRef(const char* user) noexcept = 0;
    virtual BaseResult Release(const char* user) noexcept = 0;
    virtual BaseResult QueryInterface(int id, void** out, const char* user) noexcept = 0;

protected:
    // Objects die through their owner (an export or a manager), never through an interface.
    ~IBaseInterface() = default;
};

// Implementation base of every object of both libraries: the per-user use
// list and the fixed map of interfaces the object hands out.
class tBaseInterface {
public:
    explicit tBaseInterface(const char* module_name);
    virtual ~tBaseInterface();
    tBaseInterface(const tBaseInterface&) = delete;
    tBaseInterface& operator=(const tBaseInterface&) = delete;

    // A null user counts as "unknown". The result carries no meaning.
    virtual BaseResult AddRef(const char* user) noexcept;
    // Removes the oldest use whose first 15 characters match; 100 when none does.
    // Never destroys the object.
    virtual BaseResult Release(const char* user) noexcept;
    virtual DWORD GetUserCount() noexcept;
    // 100 for a null user, 105 for an unknown id; a found interface counts one use.
    virtual BaseResult QueryInterface(int id, void** out, const char* user) noexcept;

    const std::string& ModuleName() const { return m_module; }

protected:
    // Called by the concrete constructor only: the map is fixed afterwards,
    // which is why QueryInterface reads it without the lock.
    void RegisterInterface(int id, void* iface) { m_interfaces[id] = iface; }

private:
    std::recursive_mutex m_lock;
    std::string m_module;
    std::deque<std::string> m_users;      // guarded by m_lock
    std::map<int, void*> m_interfaces;    // fixed after construction
};

// Routes the three base slots of every interface an object implements to
// its tBaseInterface, so each answers alike through whichever interface.
template <class... Interfaces>
class tBaseObject : public tBaseInterface, public Interfaces... {
public:
    using tBaseInterface::tBaseInterface;

    BaseResult AddRef(const char* user) noexcept override { return tBaseInterface::AddRef(user); }
    BaseResult Release(const char* user) noexcept override { return tBaseInterface::Release(user); }
    BaseResult QueryInterface(int id, void** out, const char* user) noexcept override
    {
        return tBaseInterface::QueryInterface(id, out, user);
    }
};
