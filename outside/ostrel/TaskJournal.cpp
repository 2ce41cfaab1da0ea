#include "outside/ostrel/TaskJournal.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

namespace ostrel {
namespace {

constexpr std::string_view line_tag = "task1";
constexpr std::size_t field_count = 13;

std::string escape(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::vector<std::string>> split(std::string_view line)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\') {
            if (++i == line.size())
                return std::nullopt;
            switch (line[i]) {
            case '\\': fields.back() += '\\'; break;
            case 't': fields.back() += '\t'; break;
            case 'n': fields.back() += '\n'; break;
            case 'r': fields.back() += '\r'; break;
            default: return std::nullopt;
            }
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

template <typename T>
bool parse_number(const std::string& text, T& out, int base = 10)
{
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

std::optional<JournalEntry> parse_entry(std::string_view line)
{
    auto fields = split(line);
    if (!fields || fields->size() != field_count || (*fields)[0] != line_tag)
        return std::nullopt;
    const auto& f = *fields;
    JournalEntry e;
    int paused = 0;
    if (f[2].size() != 32 || !parse_number(f[1], e.kind) || !parse_number(f[3], paused))
        return std::nullopt;
    for (int i = 0; i < 4; ++i)
        if (!parse_number(f[2].substr(static_cast<std::size_t>(i) * 8, 8), e.task.id[i], 16))
            return std::nullopt;
    e.paused = paused != 0;
    e.task.key = f[4];
    e.task.address = f[5];
    e.task.title = f[6];
    if (!parse_number(f[7], e.task.value) || !parse_number(f[8], e.task.numeric_key) ||
        !parse_number(f[9], e.task.second_key) || !parse_number(f[10], e.task.mode) ||
        !parse_number(f[11], e.task.quality))
        return std::nullopt;
    e.task.local_path = plat::utf8_to_utf16(f[12]);
    return e;
}

std::string format_entry(const JournalEntry& e)
{
    char id[33];
    std::snprintf(id, sizeof id, "%08x%08x%08x%08x", e.task.id[0], e.task.id[1], e.task.id[2], e.task.id[3]);
    std::ostringstream out;
    out << line_tag << '\t' << e.kind << '\t' << id << '\t' << (e.paused ? 1 : 0) << '\t' << escape(e.task.key)
        << '\t' << escape(e.task.address) << '\t' << escape(e.task.title) << '\t' << e.task.value << '\t'
        << e.task.numeric_key << '\t' << e.task.second_key << '\t' << e.task.mode << '\t' << e.task.quality << '\t'
        << escape(plat::utf16_to_utf8(e.task.local_path)) << '\n';
    return out.str();
}

}

std::vector<JournalEntry> read_journal(const std::filesystem::path& file)
{
    std::vector<JournalEntry> entries;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (auto e = parse_entry(line))
            entries.push_back(std::move(*e));
        else
            plat::debug_log("ostrel: skipped a damaged task line in " + file.string());
    }
    return entries;
}

bool write_journal(const std::filesystem::path& file, const std::vector<JournalEntry>& entries)
{
    auto temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const auto& e : entries)
            out << format_entry(e);
        out.flush();
        if (!out) {
            plat::debug_log("ostrel: cannot write " + temporary.string());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec)
        plat::debug_log("ostrel: cannot replace " + file.string());
    return !ec;
}

}
