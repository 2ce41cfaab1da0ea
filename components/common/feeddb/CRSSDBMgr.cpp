#include "components/common/feeddb/CRSSDBMgr.h"

#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/feeddb/ForeignKeyTriggers.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "platform/base/DebugLog.h"
#include "platform/sync/NamedMutex.h"

#include <sqlite3.h>

#include <algorithm>

namespace {

struct TableDefinition {
    const char* name;
    const char* create;
};

constexpr TableDefinition tables[] = {
    {"rssfolder",
     "CREATE TABLE IF NOT EXISTS rssfolder(id INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, parent_folder_id "
     "INTEGER, is_predefine INTEGER, name TEXT, FOREIGN KEY(parent_folder_id) REFERENCES rssfolder(id));"},
    {"rsschannel",
     "CREATE TABLE IF NOT EXISTS rsschannel(id INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, folder_id INTEGER NOT "
     "NULL, last_update_time INTEGER, can_auto_update INTEGER, can_prefetch INTEGER, is_predefine INTEGER, disabled "
     "INTEGER, mark_delete INTEGER, item_capability INTEGER, feed_url TEXT, rss_channel_title TEXT, rss_channel_link "
     "TEXT, rss_channel_description TEXT, FOREIGN KEY(folder_id) REFERENCES rssfolder(id));"},
    {"rssitem",
     "CREATE TABLE IF NOT EXISTS rssitem(id INTEGER PRIMARY KEY AUTOINCREMENT, type INTEGER, folder_id INTEGER NOT "
     "NULL, channel_id INTEGER NOT NULL, reference_id INTEGER, status INTEGER, create_time INTEGER, modify_time "
     "INTEGER, mark_delete INTEGER, mark_read INTEGER, mark_favorite INTEGER, can_prefetch INTEGER, mark_hd INTEGER, "
     "original_media_url TEXT, convert_media_url TEXT, local_media_file_path TEXT, local_thumb_file_path TEXT, "
     "rss_item_title TEXT, rss_item_link TEXT, rss_item_media_thumbnail_url TEXT, display_description TEXT, FOREIGN "
     "KEY(channel_id) REFERENCES rsschannel(id), FOREIGN KEY(reference_id) REFERENCES rssitem(id), FOREIGN "
     "KEY(folder_id) REFERENCES rssfolder(id));"},
    {"itemdownloadinfo",
     "CREATE TABLE IF NOT EXISTS itemdownloadinfo(id INTEGER PRIMARY KEY, type INTEGER,status INTEGER, percent "
     "INTEGER, total_size INTEGER, FOREIGN KEY(id) REFERENCES rssitem(id));"},
    {"itemsyncinfo",
     "CREATE TABLE IF NOT EXISTS itemsyncinfo(id INTEGER PRIMARY KEY, type INTEGER,downloadstatus INTEGER, "
     "downloadpercent INTEGER, syncstatus INTEGER, total_size INTEGER, FOREIGN KEY(id) REFERENCES rssitem(id));"},
};

}

CRSSDBMgr& CRSSDBMgr::Instance()
{
    static CRSSDBMgr manager;
    return manager;
}

CRSSDBMgr::CRSSDBMgr()
{
    m_db.setBusyTimeout(CppSQLite3DB::default_busy_timeout_ms);
}

CRSSDBMgr::~CRSSDBMgr()
{
    m_db.close();
}

int CRSSDBMgr::Open(const char* path)
{
    m_db.open(path);
    int rc = SQLITE_OK;
    try {
        rc = CreateTables();
    } catch (const CppSQLite3Exception& e) {
        // Not a database, or unreadable: leave the file as it is and closed.
        plat::debug_log(std::string("feed database: cannot open: ") + e.errorMessage());
        m_db.close();
        throw;
    }
    const int triggers = GenerateForeignKeyTriggers(path);
    if (triggers != SQLITE_OK)
        plat::debug_log("feed database: foreign-key triggers not made: " + std::to_string(triggers));
    return rc;
}

int CRSSDBMgr::Close()
{
    if (!m_db.isOpen())
        return 1;
    return m_db.close();
}

int CRSSDBMgr::CreateTables()
{
    int rc = SQLITE_OK;
    for (const TableDefinition& table : tables) {
        if (!m_db.tableExists(table.name))
            rc = m_db.execDML(table.create);
    }
    return rc;
}

plat::NamedMutex* CRSSDBMgr::named_mutex()
{
    std::scoped_lock hold(m_mutex_lock);
    if (!m_named_mutex)
        m_named_mutex = plat::NamedMutex::open(MutexName);
    return m_named_mutex.get();
}

int CRSSDBMgr::BeginTransaction()
{
    plat::NamedMutex* mutex = named_mutex();
    if (!mutex || mutex->wait() == WAIT_FAILED)
        return SQLITE_CANTOPEN;
    // Only the owner of the named mutex gets here. A transaction begun inside
    // another of the same thread joins it instead of failing and then
    // committing the outer one early.
    if (m_transaction_depth++ > 0)
        return SQLITE_OK;
    m_transaction_thread = std::this_thread::get_id();
    return execute(std::string("BEGIN TRANSACTION;"));
}

int CRSSDBMgr::CommitTransaction()
{
    if (m_transaction_thread.load() != std::this_thread::get_id() || m_transaction_depth == 0) {
        plat::debug_log("feed database: commit without a transaction of this thread");
        return SQLITE_MISUSE;
    }
    int rc = SQLITE_OK;
    if (--m_transaction_depth == 0) {
        m_transaction_thread = std::thread::id();
        rc = execute(std::string("COMMIT TRANSACTION;"));
        if (rc != SQLITE_OK)
            execute(std::string("ROLLBACK TRANSACTION;"));
    }
    // Released only now: another process must not begin before this commit is written.
    named_mutex()->release();
    return rc;
}

void CRSSDBMgr::AddListener(IDataActionListener* listener)
{
    std::scoped_lock hold(m_listener_lock);
    m_listeners.push_back(listener);
}

void CRSSDBMgr::RemoveListener(IDataActionListener* listener)
{
    std::unique_lock hold(m_listener_lock);
    std::erase(m_listeners, listener);
    const auto me = std::this_thread::get_id();
    m_call_ended.wait(hold, [&] {
        return std::none_of(m_calls.begin(), m_calls.end(),
                            [&](const auto& call) { return call.second == listener && call.first != me; });
    });
}

int CRSSDBMgr::NotifyBeforeDataAction(int action, int kind, std::int64_t id, int value)
{
    return deliver(true, action, kind, id, value);
}

void CRSSDBMgr::NotifyDataAction(int action, int kind, std::int64_t id, int value)
{
    deliver(false, action, kind, id, value);
}

// Calls a copy of the list without holding the lock, so a listener may add or
// remove listeners; one removed meanwhile is skipped and never called after
// RemoveListener has returned.
int CRSSDBMgr::deliver(bool before, int action, int kind, std::int64_t id, int value)
{
    std::vector<IDataActionListener*> snapshot;
    {
        std::scoped_lock hold(m_listener_lock);
        snapshot = m_listeners;
    }
    const auto me = std::this_thread::get_id();
    for (IDataActionListener* listener : snapshot) {
        {
            std::scoped_lock hold(m_listener_lock);
            if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
                continue;
            m_calls.emplace_back(me, listener);
        }
        int answer = 0;
        struct CallEnd {
            CRSSDBMgr& self;
            std::pair<std::thread::id, IDataActionListener*> call;
            ~CallEnd()
            {
                {
                    std::scoped_lock hold(self.m_listener_lock);
                    self.m_calls.erase(std::find(self.m_calls.begin(), self.m_calls.end(), call));
                }
                self.m_call_ended.notify_all();
            }
        } end{*this, {me, listener}};
        if (before)
            answer = listener->OnBeforeDataAction(action, kind, id, value);
        else
            listener->OnDataAction(action, kind, id, value);
        if (answer != 0)
            return answer;
    }
    return 0;
}

int CRSSDBMgr::execute(const Sql& sql, std::int64_t* new_id)
{
    if (!sql)
        return SQLITE_NOMEM;
    try {
        std::scoped_lock hold(m_statement_lock);
        const int rc = m_db.execDML(sql->c_str());
        if (rc == SQLITE_OK && new_id)
            *new_id = m_db.lastRowId();
        return rc;
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("feed database: ") + e.errorMessage());
        return e.errorCode();
    }
}

int CRSSDBMgr::write(int action, int kind, std::int64_t id, const Sql& sql, std::int64_t* new_id)
{
    NotifyBeforeDataAction(action, kind, id, 0);
    std::int64_t inserted = id;
    const int rc = execute(sql, new_id ? &inserted : nullptr);
    if (rc == SQLITE_OK && new_id)
        *new_id = inserted;
    NotifyDataAction(action, kind, inserted, rc);
    return rc;
}

int CRSSDBMgr::count(const Sql& sql, int* count)
{
    if (!count)
        return 1;
    if (!sql)
        throw CppSQLite3Exception(SQLITE_NOMEM, "");
    *count = m_db.execScalar(sql->c_str());
    return 0;
}

int CRSSDBMgr::for_each_row(const Sql& sql, const std::function<void(const CppSQLite3Query&)>& on_row)
{
    if (!sql)
        throw CppSQLite3Exception(SQLITE_NOMEM, "");
    CppSQLite3Query query = m_db.execQuery(sql->c_str());
    bool any = false;
    try {
        for (; !query.eof(); query.nextRow()) {
            on_row(query);
            any = true;
        }
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("feed database: rows ended early: ") + e.errorMessage());
    }
    return any ? 0 : 1;
}
