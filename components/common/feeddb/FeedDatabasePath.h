#pragma once
// Where every deliverable finds the feed database: "Rss.db" (spelt so, names
// are case-sensitive here) in the program's per-user data folder.

#include <optional>
#include <string>

namespace feeddb {

// Nothing when the data folder cannot be had or made.
std::optional<std::string> feed_database_path();

}
