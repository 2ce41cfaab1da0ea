#pragma once
// The feed database "Rss.db": folders, channels, items and their download
// rows, over one shared SQLite connection. Every change is announced to the
// registered IDataActionListener objects before and after it runs, on the
// writer's thread. Groups of changes are bracketed by BeginTransaction and
// CommitTransaction, which hold the named mutex that the main program, the
// prefetch manager and the browser extension share.
//
// Writes return 0 or SQLite's result code and never raise; reads return 0
// when they gave a row and 1 when none (or no list), and raise
// CppSQLite3Exception when their statement cannot be prepared.

#include "components/common/feeddb/DBRecords.h"
#include "components/common/feeddb/RSSData.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <list>
#include <memory>
#include <optional>
#include <string>

class CppSQLite3Query;
class IDataActionListener;

class CRSSDBMgr {
public:
    static constexpr const char* FileName = "Rss.db";
    static constexpr const char* MutexName = "{20A522FB-105F-478f-88CA-1C173DFD2D56}";

    // The process-wide manager, made on first use.
    static CRSSDBMgr& Instance();

    CRSSDBMgr();
    CRSSDBMgr(const CRSSDBMgr&) = delete;
    CRSSDBMgr& operator=(const CRSSDBMgr&) = delete;
    ~CRSSDBMgr();

    // Opens (creating the file when missing), creates missing tables and the
    // foreign-key triggers. 0, or the code of a table that could not be
    // created; raises when the file cannot be opened or is not a database.
    int Open(const char* path);
    // SQLite's close result; 1 when nothing was open.
    int Close();
    // Creates each missing table; the result of the last CREATE run (0 when none).
    int CreateTables();
    // Takes the named mutex (waiting without limit), then "BEGIN TRANSACTION;".
    // Each call needs its CommitTransaction on the same thread, whatever it
    // returned; a call inside a transaction of the same thread joins it.
    int BeginTransaction();
    // "COMMIT TRANSACTION;", then releases the named mutex. A commit that finds
    // the file busy is tried again (each try waits the busy time-out). One
    // that can never succeed is rolled back, so the connection is never left
    // inside a transaction; since other threads of the shared connection may
    // have written in it too, every change of it that raised notices is then
    // told again with an after-notice carrying the commit's code.
    // SQLITE_MISUSE, changing nothing, on a thread with no transaction.
    int CommitTransaction();
    // How long a statement waits for another connection's lock (60000 ms
    // unless set); also used by the trigger generator at Open.
    void SetBusyTimeout(int milliseconds);

    // Listeners are not owned. The same one may be added twice and then hears
    // each notice twice; RemoveListener removes every entry and returns once
    // no other thread is inside one of its calls.
    void AddListener(IDataActionListener* listener);
    void RemoveListener(IDataActionListener* listener);
    // The first non-zero answer, which stops the fan-out; else 0.
    int NotifyBeforeDataAction(int action, int kind, std::int64_t id, int value);
    void NotifyDataAction(int action, int kind, std::int64_t id, int value);

    // Folders and channels.
    int GetFolders(std::int64_t folder_id, std::list<RSSFolderRecord>* list);
    int GetChannels(std::int64_t channel_id, std::list<RSSData::tRSSChannel>* list);
    int GetFolderChannels(bool include_marked_deleted, std::int64_t folder_id, std::list<RSSData::tRSSChannel>* list);
    int FindChannelsByTitle(const std::string& title, std::list<RSSData::tRSSChannel>* list);
    int GetStaleChannels(std::int64_t time, std::list<RSSData::tRSSChannel>* list);
    int GetMarkedDeletedChannels(std::list<RSSData::tRSSChannel>* list);
    int GetChannelByFeedUrl(const std::string& feed_url, std::list<RSSData::tRSSChannel>* list);
    // The inserts set the record's id only when they succeed.
    int InsertFolder(RSSFolderRecord* record);
    int InsertChannel(RSSData::tRSSChannel* record);
    int UpdateChannel(const RSSData::tRSSChannel& record);
    int SetChannelTitle(std::int64_t channel_id, const std::string& title);
    int SetChannelUpdateTime(std::int64_t channel_id, std::int64_t time);
    int MarkChannelDeleted(std::int64_t channel_id);
    int DeleteChannel(std::int64_t channel_id);

    // Items.
    int GetItems(std::int64_t item_id, std::list<RSSData::tRSSItem>* list);
    int GetChannelItems(std::int64_t channel_id, std::list<RSSData::tRSSItem>* list);
    int GetTrimCandidates(std::int64_t channel_id, bool include_prefetched, int limit,
                          std::list<RSSData::tRSSItem>* list);
    int FindItem(std::int64_t channel_id, const std::string& title, const std::string& link,
                 std::list<RSSData::tRSSItem>* list);
    int GetItemByLink(const std::string& link, std::list<RSSData::tRSSItem>* list);
    int GetItemByMediaUrl(const std::string& media_url, std::list<RSSData::tRSSItem>* list);
    int GetDeletedItems(std::int64_t channel_id, std::list<RSSData::tRSSItem>* list);
    int GetChannelItemsPage(bool ascending, std::int64_t channel_id, std::int64_t offset, std::int64_t count,
                            bool status_first, std::list<RSSData::tRSSItem>* list);
    int GetFavoritesPage(bool ascending, std::int64_t offset, std::int64_t count, bool status_first,
                         std::list<RSSData::tRSSItem>* list);
    int GetPrefetchPage(std::int64_t offset, std::int64_t count, bool status_first, std::list<RSSData::tRSSItem>* list);
    int GetRecentPage(std::int64_t offset, std::int64_t count, bool status_first, std::list<RSSData::tRSSItem>* list);
    int GetDownloadItems(std::list<RSSData::tRSSItem>* list);
    // Counts write the number and return 0; 1 without somewhere to write it.
    int CountChannelItems(std::int64_t channel_id, int* count);
    int CountChannelItemsByStatus(std::int64_t channel_id, int status, int* count);
    int CountChannelItemsFiltered(std::int64_t channel_id, bool include_deleted, bool include_favorites, int* count);
    int CountFavorites(int* count);
    int CountPrefetch(int* count);
    int CountRecent(int* count);
    int InsertItem(RSSData::tRSSItem* record);
    // Leaves type, mark_hd and the stored description as they are.
    int UpdateItem(const RSSData::tRSSItem& record);
    // Asks the listeners first: a refusal returns 1 and deletes nothing. Then
    // the item's download row and the item go together: when the item cannot
    // be deleted, its download row stays.
    int DeleteItem(std::int64_t item_id);
    int SetItemMarkDelete(std::int64_t item_id, bool mark_delete);
    int SetItemTimes(std::int64_t item_id, const RSSData::tRSSItem& times);
    // An id of 0 or less sets every item, in one transaction and without
    // notices; like every write it raises nothing.
    int SetItemStatus(std::int64_t item_id, int status);
    int MarkChannelItemsDeleted(std::int64_t channel_id);
    int ClearFavorites();
    int MarkPrefetchItemsDeleted();
    int MarkReadItemsDeleted();

    // The prefetch passes. A page is up to 10 items of the channel with the
    // status, not marked deleted, newest first, from offset on.
    int GetChannelItemsPageByStatus(std::int64_t channel_id, int status, std::int64_t offset,
                                    std::list<RSSData::tRSSItem>* list);
    int GetItemsByStatusNotHd(int status, std::list<RSSData::tRSSItem>* list);
    // Favourites whose status is not `status`, newest first.
    int GetFavouriteItems(int status, std::list<RSSData::tRSSItem>* list);
    // Sets mark_hd to 1 and whichever of the description and the thumbnail path is given.
    int SetItemLocalImages(const std::string* description, const std::string* thumb_path, std::int64_t item_id);

    // Download rows.
    int InsertItemDownloadInfo(const ItemDownloadRecord& record);
    int UpdateItemDownloadInfo(const ItemDownloadRecord& record);
    int DeleteItemDownloadInfo(std::int64_t item_id);
    int GetItemDownloadInfos(std::list<ItemDownloadRecord>* list);

private:
    struct State;
    // A change that raised notices: told again when its transaction rolls back.
    struct Change {
        int action;
        int kind;
        std::int64_t id;
    };
    // A formatted statement; nothing when memory ran out while formatting it.
    using Sql = std::optional<std::string>;

    // Runs one change between its two notices; new_id receives the row id of a successful insert.
    int write(int action, int kind, std::int64_t id, const Sql& sql, std::int64_t* new_id = nullptr);
    // Runs a change with no notices of its own; a change given is remembered
    // while a transaction is open (with the new row id of an insert).
    int execute(const Sql& sql, std::int64_t* new_id = nullptr, const std::optional<Change>& change = std::nullopt);
    // Runs the statements so that all of them take effect or none; the
    // changes are remembered as execute does.
    int execute_together(std::initializer_list<Sql> statements, std::initializer_list<Change> changes);
    int count(const Sql& sql, int* count);
    // Calls on_row for each row; 0 when there was one, else 1. A step error ends the rows early.
    int for_each_row(const Sql& sql, const std::function<void(const CppSQLite3Query&)>& on_row);
    int read_items(const Sql& sql, std::list<RSSData::tRSSItem>* list);
    int read_channels(const Sql& sql, std::list<RSSData::tRSSChannel>* list);
    int deliver(bool before, int action, int kind, std::int64_t id, int value);

    static void ReadFolderRow(const CppSQLite3Query& row, RSSFolderRecord& record);
    static void ReadChannelRow(const CppSQLite3Query& row, RSSData::tRSSChannel& record);
    static void ReadItemRow(const CppSQLite3Query& row, RSSData::tRSSItem& record);
    static void ReadItemDownloadRow(const CppSQLite3Query& row, ItemDownloadRecord& record);

    // The connection, the locks and the listener list, kept out of this header.
    std::unique_ptr<State> m_state;
};
