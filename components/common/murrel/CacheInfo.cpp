#include "CacheInfo.h"

#include "components/common/baseinterface/BaseException.h"
#include "components/common/baseinterface/StreamBuffer.h"
#include "components/common/murrel/SegmentCache.h"
#include "platform/base/DebugLog.h"
#include "platform/fs/Files.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

namespace {

constexpr char info_magic[] = "cachinfo";

ULONGLONG key_half(const tContentKey& key, int half)
{
    return static_cast<ULONGLONG>(key.words[2 * half + 1]) << 32 | key.words[2 * half];
}

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Never more than the header and a table for every segment the format can address.
std::string read_head_of_file(const std::string& path)
{
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
    if (!file) return {};
    std::string bytes(INFO_HEADER_SIZE + 4 * MAX_SEGMENT_COUNT, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    return bytes;
}

void parse_header(tStreamBuffer& stream, tCacheInfoHeader& header)
{
    stream.Skip(8);
    const ULONGLONG first = stream.PopUInt64();
    const ULONGLONG second = stream.PopUInt64();
    header.key = {{static_cast<DWORD>(first), static_cast<DWORD>(first >> 32), static_cast<DWORD>(second),
                   static_cast<DWORD>(second >> 32)}};
    header.total_size = stream.PopUInt32();
    header.reserved = stream.PopUInt32();
    header.last_index = stream.PopUInt64();
    header.last_length = stream.PopUInt32();
    header.segment_size = stream.PopUInt32();
    header.last_written = stream.PopUInt64();
    header.present_count = stream.PopUInt32();
    header.present_bytes = stream.PopUInt32();
}

LONG table_entry(const std::string& bytes, std::size_t i)
{
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data()) + INFO_HEADER_SIZE + 4 * i;
    return static_cast<LONG>(static_cast<DWORD>(at[0]) | static_cast<DWORD>(at[1]) << 8 |
                             static_cast<DWORD>(at[2]) << 16 | static_cast<DWORD>(at[3]) << 24);
}

// Keeps an offset only when it names a whole slot inside ".data" that no
// other segment uses.
void check_table(tCacheInfoHeader& header, std::optional<ULONGLONG> data_size, std::vector<LONG>& table)
{
    std::set<LONG> used;
    header.present_count = 0;
    header.present_bytes = 0;
    for (std::size_t index = 0; index < table.size(); ++index) {
        const LONG offset = table[index];
        if (offset == SLOT_ABSENT) continue;
        const DWORD length = header.LengthOf(index);
        const bool whole_slot = offset >= 0 && offset % static_cast<LONG>(header.segment_size) == 0;
        const bool inside = !data_size || static_cast<ULONGLONG>(offset) + length <= *data_size;
        if (!whole_slot || !inside || !used.insert(offset).second) {
            table[index] = SLOT_ABSENT;
            continue;
        }
        ++header.present_count;
        header.present_bytes += length;
    }
}

}

void tCacheInfoHeader::SetTotal(DWORD total)
{
    total_size = total;
    if (total == 0) return;
    last_length = total % segment_size;
    if (last_length == 0) last_length = segment_size;
    last_index = (total - last_length) / segment_size;
}

std::string CacheFileName(const tContentKey& key)
{
    char name[33];
    std::snprintf(name, sizeof name, "%016llx%016llx", static_cast<unsigned long long>(key_half(key, 0)),
                  static_cast<unsigned long long>(key_half(key, 1)));
    return name;
}

std::string FormatInfoFile(const tCacheInfoHeader& header, std::span<const LONG> table)
{
    tStreamBuffer stream;
    stream.Allocate(INFO_HEADER_SIZE);
    stream.WriteAt(0, reinterpret_cast<const BYTE*>(info_magic), 8);
    stream.SetPosition(8);
    stream.PushUInt64(key_half(header.key, 0));
    stream.PushUInt64(key_half(header.key, 1));
    stream.PushUInt32(header.total_size);
    stream.PushUInt32(header.reserved);
    stream.PushUInt64(header.last_index);
    stream.PushUInt32(header.last_length);
    stream.PushUInt32(header.segment_size);
    stream.PushUInt64(header.last_written);
    stream.PushUInt32(header.present_count);
    stream.PushUInt32(header.present_bytes);
    std::string bytes(reinterpret_cast<const char*>(stream.Data()), INFO_HEADER_SIZE);
    bytes.reserve(INFO_HEADER_SIZE + 4 * table.size());
    for (LONG entry : table) {
        const auto value = static_cast<DWORD>(entry);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>(value >> shift));
    }
    return bytes;
}

BaseResult SaveInfoFile(const std::string& path, const tCacheInfoHeader& header, std::span<const LONG> table)
{
    const int error = plat::write_file_atomic(path, FormatInfoFile(header, table));
    if (error == 0) return RESULT_OK;
    plat::debug_log("murrel: cannot write " + path + ": " + std::strerror(error));
    return RESULT_FAIL;
}

BaseResult LoadInfoFile(const std::string& path, bool header_only, std::optional<ULONGLONG> data_size,
                        tCacheInfoHeader& header, std::vector<LONG>& table)
{
    std::string bytes = read_head_of_file(path);
    if (bytes.size() < INFO_HEADER_SIZE || bytes.compare(0, 8, info_magic) != 0) return RESULT_FAIL;
    tStreamBuffer stream;
    stream.Borrow(reinterpret_cast<BYTE*>(bytes.data()), INFO_HEADER_SIZE);
    tCacheInfoHeader loaded;
    parse_header(stream, loaded);
    if (loaded.segment_size != SEGMENT_SIZE || loaded.total_size > MAX_CONTENT_SIZE) return RESULT_FAIL;
    // The total rules the last segment; without one the end is unknown.
    loaded.last_index = SEGMENT_INDEX_UNSET;
    loaded.last_length = ~0u;
    loaded.SetTotal(loaded.total_size);

    std::size_t entries = (bytes.size() - INFO_HEADER_SIZE) / 4;
    if (loaded.LastKnown()) entries = std::min<std::size_t>(entries, loaded.last_index + 1);
    std::vector<LONG> loaded_table(entries);
    for (std::size_t i = 0; i < entries; ++i) loaded_table[i] = table_entry(bytes, i);
    check_table(loaded, data_size, loaded_table);

    header = loaded;
    if (header_only) loaded_table.clear();
    table = std::move(loaded_table);
    return RESULT_OK;
}
