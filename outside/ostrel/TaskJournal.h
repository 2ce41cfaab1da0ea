#pragma once
// The file that keeps the download manager's tasks across runs: one task a
// line, tab-separated fields with tab, newline and backslash escaped. A line
// that cannot be read is skipped (and logged); the file is rewritten whole
// through a temporary file and a rename, so a crash leaves the old or the new.

#include "outside/ostrel/DownloadTaskInfo.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ostrel {

struct JournalEntry {
    DownloadTaskInfo task;
    LONG kind = 0;
    bool paused = false;
};

std::vector<JournalEntry> read_journal(const std::filesystem::path& file);
bool write_journal(const std::filesystem::path& file, const std::vector<JournalEntry>& entries);

}
