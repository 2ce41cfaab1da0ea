#pragma once
// The listener of the feed database's change notices. Each change is told
// once before its statement runs and once after, with SQLite's result.

#include <cstdint>

namespace DataAction {
inline constexpr int Insert = 0;
inline constexpr int Update = 1;
inline constexpr int Delete = 2;
inline constexpr int MarkDelete = 3;   // mark_delete set or changed
}

// The kind of a notice, and the `type` column of each table.
namespace DataKind {
inline constexpr int Folder = 1;
inline constexpr int Channel = 2;
inline constexpr int Item = 3;
inline constexpr int ItemDownloadInfo = 4;
}

class IDataActionListener {
public:
    // Non-zero stops the fan-out and comes back to the writer; only an item
    // deletion obeys it. value is 0 here.
    virtual int OnBeforeDataAction(int action, int kind, std::int64_t id, int value) = 0;
    // value is SQLite's result of the statement; act only on 0. For an insert
    // id is the new row's id, or the record's id when the insert failed.
    virtual void OnDataAction(int action, int kind, std::int64_t id, int value) = 0;

protected:
    ~IDataActionListener() = default;
};
