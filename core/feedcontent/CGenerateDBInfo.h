#pragma once
// Makes sure the predefined folders and channels exist in the feed database,
// creating what is missing and leaving every existing row alone. Runs at each
// start, on a database manager of its own, before the process-wide one opens.

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"

#include <cstdint>
#include <list>
#include <span>
#include <string>

class CGenerateDBInfo : public IDataActionListener {
public:
    CGenerateDBInfo();
    ~CGenerateDBInfo();
    CGenerateDBInfo(const CGenerateDBInfo&) = delete;
    CGenerateDBInfo& operator=(const CGenerateDBInfo&) = delete;

    // 0, or the first SQLite code that kept content from being stored. Raises
    // CppSQLite3Exception when the file cannot be opened or is not a database.
    int Generate(const char* path);
    int Close();

    // Its own manager's only listener: nobody else hears of these inserts.
    int OnBeforeDataAction(int, int, std::int64_t, int) override { return 0; }
    void OnDataAction(int, int, std::int64_t, int) override {}

private:
    struct ChannelEntry {
        std::string title;
        std::string feed_url;
    };

    int add_content();
    // The first predefined folder of that name under that parent, made when missing.
    int FindOrCreateFolder(const char* name, std::int64_t parent_id, std::int64_t* folder_id);
    // Each channel whose feed url is not already in the folder is created
    // there, or moved there from another feed host.
    int EnsureChannels(std::span<const ChannelEntry> channels, std::int64_t folder_id);
    static RSSData::tRSSChannel* on_other_host(std::list<RSSData::tRSSChannel>& in_folder, const ChannelEntry& entry);

    CRSSDBMgr m_db;
};
