#include "ContentCacheMgr.h"

#include "platform/base/DebugLog.h"
#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/statvfs.h>

namespace {

constexpr ULONGLONG MiB = 1024ull * 1024;
constexpr ULONGLONG GiB = 1024 * MiB;
constexpr std::size_t folder_max = 259;

std::optional<ULONGLONG> free_space(const std::string& folder)
{
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0) return std::nullopt;
    return static_cast<ULONGLONG>(info.f_bavail) * info.f_frsize;
}

bool remove_file(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::remove(path, ignored);
}

bool ends_with(const std::string& text, std::string_view tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}

ULONGLONG FreeSpaceLimit(ULONGLONG free_bytes)
{
    const struct {
        ULONGLONG free;
        ULONGLONG limit;
    } table[] = {{8 * GiB, 2 * GiB}, {4 * GiB, GiB}, {2 * GiB, 600 * MiB}, {GiB, 200 * MiB}, {500 * MiB, 50 * MiB}};
    for (const auto& row : table)
        if (free_bytes >= row.free) return row.limit;
    return 0;
}

tContentCacheMgr::tContentCacheMgr(Settings settings)
    : tBaseObject("tContentCacheMgr"), m_read_wait(settings.read_wait), m_timers(std::move(settings.clock))
{
    RegisterInterface(ID_IBaseInterface, static_cast<IMurrel*>(this));
    RegisterInterface(ID_IMurrel, static_cast<IMurrel*>(this));
}

tContentCacheMgr::~tContentCacheMgr()
{
    m_timers.Stop();
    try {
        std::scoped_lock hold(m_lock);
        close_all_locked();
    } catch (...) {
        plat::debug_log("murrel: items could not be closed");
    }
}

BaseResult tContentCacheMgr::SetSizeLimit(ULONGLONG limit) noexcept
{
    std::scoped_lock hold(m_lock);
    m_size_limit = limit;
    return RESULT_OK;
}

ULONGLONG tContentCacheMgr::SizeLimit()
{
    std::scoped_lock hold(m_lock);
    return m_size_limit;
}

BaseResult tContentCacheMgr::SetCacheFolder(const char* folder) noexcept
{
    return guarded_call([&] {
        if (folder == nullptr) return RESULT_FAIL;
        std::scoped_lock hold(m_lock);
        m_folder.assign(std::string_view(folder).substr(0, folder_max));
        return RESULT_OK;
    });
}

BaseResult tContentCacheMgr::Initialize(ULONGLONG limit, const char* folder) noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        if (limit != 0) m_size_limit = limit;
        if (folder != nullptr) m_folder.assign(std::string_view(folder).substr(0, folder_max));
        if (m_folder.empty() || !plat::create_folder_tree(m_folder)) return RESULT_FAIL;
        const std::optional<ULONGLONG> free = free_space(m_folder);
        m_free_space_limit = free ? FreeSpaceLimit(*free) : 0;
        m_size_limit = std::min(m_size_limit, m_free_space_limit);
        if (m_save_timer == 0) {
            m_timers.Start();
            m_save_timer = m_timers.AddTimer(save_interval, this, true, 0);
            m_cleanup_timer = m_timers.AddTimer(cleanup_interval, this, true, 0);
        }
        return free ? RESULT_OK : RESULT_FAIL;
    });
}

void tContentCacheMgr::close_all_locked()
{
    for (auto& item : m_items) {
        item->CloseForGood();
        const bool remove = item->DeleteWhenIdle();
        const std::string info = item->InfoPath(), data = item->DataPath();
        item.reset();
        if (remove) {
            remove_file(info);
            remove_file(data);
        }
    }
    m_items.clear();
}

BaseResult tContentCacheMgr::Uninitialize() noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        close_all_locked();
        return RESULT_OK;
    });
}

tContentCacheMgr::Items::iterator tContentCacheMgr::find_open_locked(const tContentKey& key)
{
    return std::find_if(m_items.begin(), m_items.end(), [&](const auto& item) { return item->Key() == key; });
}

IDataCacheItem* tContentCacheMgr::open_item(const tContentKey& key, const char* user, Create create)
{
    std::scoped_lock hold(m_lock);
    tContentCacheItem* item = nullptr;
    if (auto open = find_open_locked(key); open != m_items.end()) {
        item = open->get();
    } else if (!m_folder.empty()) {
        auto made = tContentCacheItem::Load(key, m_folder, m_read_wait);
        if (!made && create == Create::Yes) made = tContentCacheItem::Create(key, m_folder, m_read_wait);
        if (!made) return nullptr;
        item = made.get();
        m_items.push_back(std::move(made));
    }
    void* out = nullptr;
    if (item == nullptr || item->QueryInterface(ID_IDataCacheItem, &out, user) != RESULT_OK) return nullptr;
    return static_cast<IDataCacheItem*>(out);
}

IDataCacheItem* tContentCacheMgr::OpenItem(const tContentKey& key, const char* user) noexcept
{
    try {
        return open_item(key, user, Create::Yes);
    } catch (...) {
        return nullptr;
    }
}

IDataCacheItem* tContentCacheMgr::FindItem(const tContentKey& key, const char* user) noexcept
{
    try {
        return open_item(key, user, Create::No);
    } catch (...) {
        return nullptr;
    }
}

BaseResult tContentCacheMgr::DeleteItem(const tContentKey& key) noexcept
{
    return guarded_call([&] {
        std::scoped_lock hold(m_lock);
        if (m_folder.empty()) return RESULT_FAIL;
        std::unique_ptr<tContentCacheItem> item;
        if (auto open = find_open_locked(key); open != m_items.end()) {
            if ((*open)->GetUserCount() != 0) {
                (*open)->MarkDeleteWhenIdle();
                return RESULT_OK;
            }
            item = std::move(*open);
            m_items.erase(open);
        } else {
            item = tContentCacheItem::Load(key, m_folder, m_read_wait);
        }
        // Files that do not load as an item are removed all the same.
        const std::string name = CacheFileName(key);
        const std::string info = plat::join_path(m_folder, name + ".info");
        const std::string data = plat::join_path(m_folder, name + ".data");
        const bool had_data = std::filesystem::exists(data);
        if (item) item->CloseForGood();
        item.reset();
        remove_file(info);
        remove_file(data);
        return had_data && !std::filesystem::exists(data) ? RESULT_OK : RESULT_FAIL;
    });
}

BaseResult tContentCacheMgr::EnumerateItems(tCacheItemInfo* items, DWORD* count) noexcept
{
    return guarded_call([&] {
        if (count == nullptr) return RESULT_FAIL;
        std::string folder;
        {
            std::scoped_lock hold(m_lock);
            folder = m_folder;
        }
        std::vector<plat::FolderEntry> entries;
        if (folder.empty() || !plat::list_folder(folder, entries)) entries.clear();
        const DWORD room = items ? *count : 0;
        DWORD found = 0;
        for (const plat::FolderEntry& entry : entries) {
            if (entry.kind != plat::EntryKind::File || !ends_with(entry.name, ".info")) continue;
            const std::string path = plat::join_path(folder, entry.name);
            tCacheInfoHeader header;
            std::vector<LONG> table;
            if (path.size() >= sizeof(tCacheItemInfo::info_path) ||
                LoadInfoFile(path, true, std::nullopt, header, table) != RESULT_OK)
                continue;
            if (found < room) {
                tCacheItemInfo& info = items[found];
                info = {header.key, header.last_index, header.last_length, header.segment_size, header.reserved, {}};
                std::memcpy(info.info_path, path.c_str(), path.size() + 1);
            }
            ++found;
        }
        *count = found;
        return RESULT_OK;
    });
}

void tContentCacheMgr::close_idle_items()
{
    std::scoped_lock hold(m_lock);
    for (auto it = m_items.begin(); it != m_items.end();) {
        tContentCacheItem& item = **it;
        if (item.GetUserCount() != 0) {
            ++it;
            continue;
        }
        item.Save();
        const bool remove = item.DeleteWhenIdle();
        const std::string info = item.InfoPath(), data = item.DataPath();
        it = m_items.erase(it);
        if (remove) {
            remove_file(info);
            remove_file(data);
        }
    }
}

void tContentCacheMgr::OnNotify(int, int id, int, int, int) noexcept
{
    try {
        int save_timer = 0, cleanup_timer = 0;
        {
            std::scoped_lock hold(m_lock);
            save_timer = m_save_timer;
            cleanup_timer = m_cleanup_timer;
        }
        if (id == save_timer) {
            std::scoped_lock hold(m_lock);
            for (auto& item : m_items) item->Save();
        } else if (id == cleanup_timer) {
            close_idle_items();
        }
    } catch (...) {
        plat::debug_log("murrel: a timer pass failed");
    }
}
