#include "components/common/feeddb/CRSSDBMgr.h"

#include "components/common/feeddb/CppSQLite3DB.h"
#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/feeddb/ForeignKeyTriggers.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "platform/base/DebugLog.h"
#include "platform/sync/NamedMutex.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

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

// Served by the page queries of a channel (equal channel and mark, ordered by
// creation time): without it each page sorts the whole channel.
constexpr const char* page_index =
    "CREATE INDEX IF NOT EXISTS rssitem_channel_page ON rssitem(channel_id, mark_delete, create_time);";

// A commit that meets another connection's lock has waited the busy time-out
// inside SQLite; it is tried this many times in all before it is given up.
constexpr int commit_attempts = 3;

// Ends the open transaction with sql ("COMMIT" or the release of the
// outermost savepoint). A failure other than a busy file, or a busy file
// after every attempt, rolls the transaction back.
int end_transaction(CppSQLite3DB& db, const char* sql)
{
    int rc = SQLITE_BUSY;
    for (int attempt = 1; attempt <= commit_attempts; ++attempt) {
        rc = db.execDML(sql);
        if (rc != SQLITE_BUSY)
            break;
        plat::debug_log("feed database: commit busy, attempt " + std::to_string(attempt) + " of " +
                        std::to_string(commit_attempts));
    }
    if (rc != SQLITE_OK && !db.isAutoCommit()) {
        plat::debug_log("feed database: commit failed for good, rolling back: " + std::to_string(rc));
        db.execDML("ROLLBACK TRANSACTION;");
    }
    return rc;
}

}

struct CRSSDBMgr::State {
    std::mutex listener_lock;
    std::vector<IDataActionListener*> listeners;                           // guarded by listener_lock
    std::vector<std::pair<std::thread::id, IDataActionListener*>> calls;   // guarded by listener_lock: calls in progress
    std::condition_variable call_ended;

    // Held across a statement and what depends on it (the reading of its row
    // id, the changes of the open transaction, a commit and its retries), so
    // that threads of the shared connection never swap ids or lose track of
    // which changes a commit carries.
    std::mutex statement_lock;
    CppSQLite3DB db;
    std::vector<Change> uncommitted;   // guarded by statement_lock: changes inside the open transaction

    std::atomic<std::thread::id> transaction_thread;   // the thread inside BeginTransaction, if any
    int transaction_depth{0};                          // guarded by the named mutex

    std::mutex mutex_lock;
    std::unique_ptr<plat::NamedMutex> named_mutex;   // guarded by mutex_lock; opened on first need

    plat::NamedMutex* open_named_mutex()
    {
        std::scoped_lock hold(mutex_lock);
        if (!named_mutex)
            named_mutex = plat::NamedMutex::open(MutexName);
        return named_mutex.get();
    }
    // Called with statement_lock held, right after the change ran.
    void remember(const Change& change)
    {
        if (!db.isAutoCommit())
            uncommitted.push_back(change);
    }
};

CRSSDBMgr& CRSSDBMgr::Instance()
{
    static CRSSDBMgr manager;
    return manager;
}

CRSSDBMgr::CRSSDBMgr() : m_state(std::make_unique<State>())
{
    m_state->db.setBusyTimeout(CppSQLite3DB::default_busy_timeout_ms);
}

CRSSDBMgr::~CRSSDBMgr()
{
    m_state->db.close();
}

void CRSSDBMgr::SetBusyTimeout(int milliseconds)
{
    std::scoped_lock hold(m_state->statement_lock);
    m_state->db.setBusyTimeout(milliseconds);
}

int CRSSDBMgr::Open(const char* path)
{
    CppSQLite3DB& db = m_state->db;
    db.open(path);
    int rc = SQLITE_OK;
    try {
        rc = CreateTables();
    } catch (const CppSQLite3Exception& e) {
        // Not a database, or unreadable: leave the file as it is and closed.
        plat::debug_log(std::string("feed database: cannot open: ") + e.errorMessage());
        db.close();
        throw;
    }
    // Files of earlier runs gain the index here too.
    if (db.tableExists("rssitem") && execute(std::string(page_index)) != SQLITE_OK)
        plat::debug_log("feed database: item pages stay unindexed");
    const int triggers = GenerateForeignKeyTriggers(path, db.busyTimeout());
    if (triggers != SQLITE_OK)
        plat::debug_log("feed database: foreign-key triggers not made: " + std::to_string(triggers));
    return rc;
}

int CRSSDBMgr::Close()
{
    if (!m_state->db.isOpen())
        return 1;
    return m_state->db.close();
}

int CRSSDBMgr::CreateTables()
{
    int rc = SQLITE_OK;
    for (const TableDefinition& table : tables) {
        if (!m_state->db.tableExists(table.name))
            rc = m_state->db.execDML(table.create);
    }
    return rc;
}

int CRSSDBMgr::BeginTransaction()
{
    plat::NamedMutex* mutex = m_state->open_named_mutex();
    if (!mutex || mutex->wait() == WAIT_FAILED)
        return SQLITE_CANTOPEN;
    // Only the owner of the named mutex gets here. A transaction begun inside
    // another of the same thread joins it instead of failing and then
    // committing the outer one early.
    if (m_state->transaction_depth++ > 0)
        return SQLITE_OK;
    m_state->transaction_thread = std::this_thread::get_id();
    return execute(std::string("BEGIN TRANSACTION;"));
}

int CRSSDBMgr::CommitTransaction()
{
    State& state = *m_state;
    if (state.transaction_thread.load() != std::this_thread::get_id() || state.transaction_depth == 0) {
        plat::debug_log("feed database: commit without a transaction of this thread");
        return SQLITE_MISUSE;
    }
    int rc = SQLITE_OK;
    std::vector<Change> lost;
    if (--state.transaction_depth == 0) {
        state.transaction_thread = std::thread::id();
        std::scoped_lock hold(state.statement_lock);
        try {
            rc = end_transaction(state.db, "COMMIT TRANSACTION;");
        } catch (const CppSQLite3Exception& e) {
            rc = e.errorCode();
        }
        if (rc != SQLITE_OK)
            lost.swap(state.uncommitted);
        state.uncommitted.clear();
    }
    // Released only now: another process must not begin before this commit is written.
    state.open_named_mutex()->release();
    // Writers on other threads were told their change was made; it was not.
    for (const Change& change : lost)
        NotifyDataAction(change.action, change.kind, change.id, rc);
    return rc;
}

void CRSSDBMgr::AddListener(IDataActionListener* listener)
{
    std::scoped_lock hold(m_state->listener_lock);
    m_state->listeners.push_back(listener);
}

void CRSSDBMgr::RemoveListener(IDataActionListener* listener)
{
    State& state = *m_state;
    std::unique_lock hold(state.listener_lock);
    std::erase(state.listeners, listener);
    const auto me = std::this_thread::get_id();
    state.call_ended.wait(hold, [&] {
        return std::none_of(state.calls.begin(), state.calls.end(),
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
    State& state = *m_state;
    std::vector<IDataActionListener*> snapshot;
    {
        std::scoped_lock hold(state.listener_lock);
        snapshot = state.listeners;
    }
    const auto me = std::this_thread::get_id();
    for (IDataActionListener* listener : snapshot) {
        {
            std::scoped_lock hold(state.listener_lock);
            if (std::find(state.listeners.begin(), state.listeners.end(), listener) == state.listeners.end())
                continue;
            state.calls.emplace_back(me, listener);
        }
        int answer = 0;
        struct CallEnd {
            State& state;
            std::pair<std::thread::id, IDataActionListener*> call;
            ~CallEnd()
            {
                {
                    std::scoped_lock hold(state.listener_lock);
                    state.calls.erase(std::find(state.calls.begin(), state.calls.end(), call));
                }
                state.call_ended.notify_all();
            }
        } end{state, {me, listener}};
        if (before)
            answer = listener->OnBeforeDataAction(action, kind, id, value);
        else
            listener->OnDataAction(action, kind, id, value);
        if (answer != 0)
            return answer;
    }
    return 0;
}

int CRSSDBMgr::execute(const Sql& sql, std::int64_t* new_id, const std::optional<Change>& change)
{
    if (!sql)
        return SQLITE_NOMEM;
    State& state = *m_state;
    try {
        std::scoped_lock hold(state.statement_lock);
        const int rc = state.db.execDML(sql->c_str());
        if (rc != SQLITE_OK)
            return rc;
        if (new_id)
            *new_id = state.db.lastRowId();
        if (change)
            state.remember({change->action, change->kind, new_id ? *new_id : change->id});
        return rc;
    } catch (const CppSQLite3Exception& e) {
        plat::debug_log(std::string("feed database: ") + e.errorMessage());
        return e.errorCode();
    }
}

// A savepoint makes the statements one: inside a transaction it nests, and
// outside one it is the transaction, ended as a commit is.
int CRSSDBMgr::execute_together(std::initializer_list<Sql> statements, std::initializer_list<Change> changes)
{
    for (const Sql& sql : statements)
        if (!sql)
            return SQLITE_NOMEM;
    State& state = *m_state;
    try {
        std::scoped_lock hold(state.statement_lock);
        CppSQLite3DB& db = state.db;
        const bool own_transaction = db.isAutoCommit();
        int rc = db.execDML("SAVEPOINT together;");
        if (rc != SQLITE_OK)
            return rc;
        for (const Sql& sql : statements)
            if (rc == SQLITE_OK)
                rc = db.execDML(sql->c_str());
        if (rc != SQLITE_OK)
            db.execDML("ROLLBACK TO together;");
        const int end = own_transaction ? end_transaction(db, "RELEASE together;") : db.execDML("RELEASE together;");
        if (rc == SQLITE_OK)
            rc = end;
        if (rc == SQLITE_OK)
            for (const Change& change : changes)
                state.remember(change);
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
    const int rc = execute(sql, new_id ? &inserted : nullptr, Change{action, kind, id});
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
    *count = m_state->db.execScalar(sql->c_str());
    return 0;
}

int CRSSDBMgr::for_each_row(const Sql& sql, const std::function<void(const CppSQLite3Query&)>& on_row)
{
    if (!sql)
        throw CppSQLite3Exception(SQLITE_NOMEM, "");
    CppSQLite3Query query = m_state->db.execQuery(sql->c_str());
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
