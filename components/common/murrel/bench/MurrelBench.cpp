// Writes 256 MiB through a content item and reads it back, then lets `dd`
// copy the same number of bytes between two files in the same folder, and
// prints both rates and their ratio.
//
//   murrel_bench [folder]        (default: the temporary folder)

#include "components/common/murrel/Murrel.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr DWORD total = 256u * 1024 * 1024;
constexpr DWORD chunk = 1024 * 1024;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double mb_per_second(double seconds)
{
    return total / 1e6 / seconds;
}

// Write then read the whole content; the seconds taken, or a negative value on failure.
double through_content_item(const std::string& folder, const std::vector<BYTE>& source)
{
    IMurrel* murrel = CreateMurrel("bench");
    if (!murrel || murrel->Initialize(0, folder.c_str()) != RESULT_OK) return -1;
    IDataCacheItem* item = murrel->OpenItem({{0xBE, 0xC4, 0, 1}}, "bench");
    if (!item || item->SetTotalSize(total) != RESULT_OK) return -1;
    std::vector<BYTE> back(chunk);
    bool same = true;
    const auto start = std::chrono::steady_clock::now();
    for (DWORD at = 0; at < total; at += chunk)
        if (item->WriteData(source.data() + at % source.size(), at, chunk) != RESULT_OK) return -1;
    for (DWORD at = 0; at < total; at += chunk) {
        DWORD n = 0;
        const BaseResult result = item->ReadData(back.data(), at, chunk, &n, false, 0, {});
        if ((result != RESULT_OK && result != RESULT_END_OF_CONTENT) || n != chunk) return -1;
        same = same && std::equal(back.begin(), back.end(), source.begin() + at % source.size());
    }
    const double seconds = seconds_since(start);
    item->Release("bench");
    DeleteMurrel(murrel, "bench");
    return same ? seconds : -1;
}

double through_dd(const std::string& folder, const std::vector<BYTE>& source)
{
    const std::string from = folder + "/dd-source", to = folder + "/dd-target";
    {
        std::ofstream out(from, std::ios::binary);
        for (DWORD at = 0; at < total; at += chunk)
            out.write(reinterpret_cast<const char*>(source.data() + at % source.size()), chunk);
    }
    const std::string command = "dd if='" + from + "' of='" + to + "' bs=1M status=none";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = seconds_since(start);
    std::filesystem::remove(from);
    std::filesystem::remove(to);
    return status == 0 ? seconds : -1;
}

}

int main(int argc, char** argv)
{
    const std::string base = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const std::string folder = base + "/murrel-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::vector<BYTE> source(4 * chunk + 4096);   // not a divisor of the chunks: no two chunks alike
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<BYTE>(i * 2654435761u >> 13);
    source.resize(source.size() + chunk);   // room for a chunk starting anywhere

    const double cache = through_content_item(folder, source);
    const double dd = through_dd(folder, source);
    std::filesystem::remove_all(folder);
    if (cache < 0 || dd < 0) {
        std::fprintf(stderr, "murrel_bench: a run failed (cache %.3f s, dd %.3f s)\n", cache, dd);
        return 1;
    }
    std::printf("content item, write then read 256 MiB: %8.1f MB/s\n", mb_per_second(cache));
    std::printf("dd, copy 256 MiB:                      %8.1f MB/s\n", mb_per_second(dd));
    std::printf("ratio content item / dd:               %8.2f\n", dd / cache);
    return 0;
}
