// Downloads one file from a local nginx with the segmented downloader, with
// curl, with aria2c and with the download manager stand-in, and prints speed,
// CPU time per GB and the ratios; then the same through the bench's
// throttling proxy, every connection held to one rate, and with one
// connection slowed, to see its segments taken over; then paced downloads
// and how close they come to the rate set.
// Usage: zephrol_bench [size in MiB, default 256]

#include "components/common/murrel/Murrel.h"
#include "downloader/zephrol/ZephrolExports.h"
#include "downloader/zephrol/tests/DownloadOutcome.h"
#include "downloader/bench/ThrottleProxy.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Result {
    double seconds{0};
    double cpu_seconds{0};
    bool ok{false};
};

double cpu_of(const rusage& r)
{
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

int free_port()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool port_answers(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// Starts a command with its standard output thrown away (the tools' progress lines).
pid_t spawn(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// Runs a command to its end; wall and CPU time of the child.
Result run_tool(const std::vector<std::string>& args)
{
    Result r;
    const auto start = Clock::now();
    const pid_t pid = spawn(args);
    if (pid < 0) return r;
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.cpu_seconds = cpu_of(usage);
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return r;
}

bool cache_matches(IDataCacheItem* item, const fs::path& source, std::uint64_t size)
{
    std::ifstream in(source, std::ios::binary);
    std::vector<char> expected(1 << 20);
    std::vector<BYTE> got(1 << 20);
    for (std::uint64_t at = 0; at < size; at += expected.size()) {
        const auto n = static_cast<DWORD>(std::min<std::uint64_t>(expected.size(), size - at));
        in.read(expected.data(), n);
        DWORD read = 0;
        item->ReadData(got.data(), at, n, &read, false, 0, {});
        if (read != n || std::memcmp(expected.data(), got.data(), n) != 0) return false;
    }
    return true;
}

// rate: bytes a second, 0 unpaced.
Result run_zephrol(const std::string& url, DWORD connections, DWORD rate, const fs::path& work,
                   const fs::path& source, std::uint64_t size)
{
    static DWORD serial = 0;
    Result r;
    const fs::path folder = work / ("cache" + std::to_string(++serial));
    fs::create_directories(folder);
    IMurrel* cache = CreateMurrel("bench");
    cache->Initialize(1ull << 34, (folder.string() + "/").c_str());
    tContentKey key;
    key.words[0] = serial;
    IDataCacheItem* item = cache->OpenItem(key, "bench");
    IDownloadCore* core = CreateZephrol("bench");
    ICorvaDownloadItem* download = nullptr;
    core->CreateDownloadItem(&download, "bench");
    IVessikDownload* vessik = nullptr;
    download->QueryInterface(ID_IVessikDownload, reinterpret_cast<void**>(&vessik), "bench");
    tDownloadParam param{};
    param.http_enabled = 1;
    param.cache_item = item;
    param.max_http = connections;
    param.url = url.c_str();
    param.rate_kbps = static_cast<DWORD>(std::uint64_t{rate} * 8 / 1000);
    vessik->Init(&param);
    DownloadOutcome done("bench");
    download->SetEventHandler(&done, 0);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    download->Start();
    const bool completed = done.wait();
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    r.cpu_seconds = cpu_of(after) - cpu_of(before);
    core->DeleteDownloadItem(download);
    DeleteZephrol(core);
    r.ok = completed && cache_matches(item, source, size);
    item->Release("bench");
    cache->Uninitialize();
    DeleteMurrel(cache, "bench");
    fs::remove_all(folder);
    return r;
}

void make_file(const fs::path& path, std::uint64_t size)
{
    std::ofstream out(path, std::ios::binary);
    std::vector<std::uint32_t> block(1 << 18);
    std::uint32_t state = 12345;
    for (std::uint64_t written = 0; written < size; written += block.size() * 4) {
        for (auto& w : block) w = state = state * 1664525u + 1013904223u;
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<std::uint64_t>(block.size() * 4, size - written)));
    }
}

void write_nginx_conf(const fs::path& work, int port)
{
    std::ofstream conf(work / "nginx.conf");
    const std::string w = work.string();
    conf << "daemon off;\nmaster_process off;\nworker_processes 1;\npid " << w << "/nginx.pid;\n"
         << "error_log " << w << "/error.log;\nevents { worker_connections 256; }\n"
         << "http {\n  access_log off;\n  sendfile on;\n  keepalive_requests 100000;\n"
         << "  client_body_temp_path " << w << "/t1;\n  proxy_temp_path " << w << "/t2;\n"
         << "  fastcgi_temp_path " << w << "/t3;\n  uwsgi_temp_path " << w << "/t4;\n  scgi_temp_path " << w
         << "/t5;\n"
         << "  server {\n    listen 127.0.0.1:" << port << ";\n    root " << w << "/www;\n  }\n}\n";
}

// The download manager stand-in's demo: one task into a target file, ended when nothing is under way.
Result run_ostrel(const std::string& url, const fs::path& work)
{
    const fs::path folder = work / "ostrel";
    fs::remove_all(folder);
    Result r = run_tool({OSTREL_DEMO, folder.string(), url, (work / "ostrel.bin").string()});
    fs::remove_all(folder);
    fs::remove(work / "ostrel.bin");
    return r;
}

// Paced downloads at 4 connections, each of four seconds' worth at its rate
// plus the start credit (the bytes of the whole seconds that 15 segments take
// at the rate, generated at once): the rate delivered after the credit against
// the rate set.
void run_paced(const std::string& base_url, const fs::path& work)
{
    std::printf("\npaced, 4 connections\n%-10s %12s %10s %12s %10s\n", "tool", "set MB/s", "MiB", "got MB/s",
                "got/set");
    for (const DWORD rate : {5000000u, 20000000u, 50000000u}) {
        const std::uint64_t credit = (491520ull + rate - 1) / rate * rate;
        const std::uint64_t size = (credit + 4ull * rate) / 32768 * 32768;
        const std::string name = "paced" + std::to_string(rate) + ".bin";
        make_file(work / "www" / name, size);
        const Result r = run_zephrol(base_url + name, 4, rate, work, work / "www" / name, size);
        fs::remove(work / "www" / name);
        if (!r.ok) {
            std::printf("%-10s %12.1f %10llu %12s\n", "zephrol", rate / 1e6, static_cast<unsigned long long>(size >> 20),
                        "FAILED");
            continue;
        }
        const double got = static_cast<double>(size - credit) / r.seconds;
        std::printf("%-10s %12.1f %10llu %12.1f %10.3f\n", "zephrol", rate / 1e6,
                    static_cast<unsigned long long>(size >> 20), got / 1e6, got / rate);
        std::fflush(stdout);
    }
}

void print_row(const char* tool, DWORD connections, const Result& r, std::uint64_t size)
{
    if (!r.ok) {
        std::printf("%-10s %5u %10s\n", tool, connections, "FAILED");
        return;
    }
    std::printf("%-10s %5u %10.1f %12.3f\n", tool, connections, static_cast<double>(size) / 1e6 / r.seconds,
                r.cpu_seconds / (static_cast<double>(size) / 1e9));
}

Result run_aria2(const std::string& url, DWORD n, const fs::path& work)
{
    return run_tool({"aria2c", "-q", "-x", std::to_string(n), "-s", std::to_string(n), "-k", "1M",
                     "--file-allocation=none", "--allow-overwrite=true", "-d", work.string(), "-o", "aria.bin", url});
}

// Bytes of [first, last] (inclusive) within a file of `size`.
std::pair<std::uint64_t, std::uint64_t> clipped(const ThrottleProxy::Request& r, std::uint64_t size)
{
    return {r.first, std::min(r.last, size - 1) + 1};
}

// How the slow connection fared: what it was asked for and delivered, and
// how much of what it was asked for was asked for again on other
// connections after it (its segments taken over).
struct SlowConnection {
    std::size_t requests{0};
    std::uint64_t asked{0};
    std::uint64_t delivered{0};
    std::uint64_t taken_over{0};
};

SlowConnection slow_connection_of(const std::vector<ThrottleProxy::Request>& log, int slow, std::uint64_t size)
{
    SlowConnection s;
    std::map<std::uint64_t, std::uint64_t> again;   // start -> end of bytes asked again, merged
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].connection != slow) continue;
        const auto [first, end] = clipped(log[i], size);
        ++s.requests;
        s.asked += end - first;
        s.delivered += log[i].delivered;
        for (std::size_t j = i + 1; j < log.size(); ++j) {
            if (log[j].connection == slow) continue;
            const auto [other_first, other_end] = clipped(log[j], size);
            const std::uint64_t from = std::max(first, other_first), to = std::min(end, other_end);
            if (from < to) again[from] = std::max(again[from], to);
        }
    }
    std::uint64_t reach = 0;
    for (const auto& [from, to] : again) {
        const std::uint64_t start = std::max(from, reach);
        if (to > start) s.taken_over += to - start;
        reach = std::max(reach, to);
    }
    return s;
}

// Every connection through the proxy held to `rate` from its first chunk:
// the aggregate rate each tool reaches with 1, 4 and 8 connections.
void run_throttled(ThrottleProxy& proxy, const fs::path& work, const std::string& name, std::uint64_t size, double rate)
{
    const std::string url = "http://127.0.0.1:" + std::to_string(proxy.port()) + "/" + name;
    const fs::path source = work / "www" / name;
    std::printf("\nthrottled: %llu MiB through the bench's proxy, every connection %.1f MB/s from its first 16 KiB\n"
                "%-10s %5s %10s %14s %14s\n",
                static_cast<unsigned long long>(size >> 20), rate / 1e6, "tool", "conns", "MB/s", "x one conn",
                "zephrol/aria2");
    const auto uniform = [rate](const ThrottleProxy::Request&) { return rate; };
    const auto row = [&](const char* tool, DWORD n, const Result& r) {
        if (!r.ok) {
            std::printf("%-10s %5u %10s\n", tool, n, "FAILED");
            return;
        }
        const double got = static_cast<double>(size) / r.seconds;
        std::printf("%-10s %5u %10.2f %14.2f\n", tool, n, got / 1e6, got / rate);
    };
    proxy.reset(uniform);
    row("curl", 1, run_tool({"curl", "-s", "-f", "-o", (work / "out.bin").string(), url}));
    proxy.reset(uniform);
    row("ostrel", 1, run_ostrel(url, work));
    for (const DWORD n : {1u, 4u, 8u}) {
        proxy.reset(uniform);
        const Result aria = run_aria2(url, n, work);
        proxy.reset(uniform);
        const Result zephrol = run_zephrol(url, n, 0, work, source, size);
        row("aria2c", n, aria);
        row("zephrol", n, zephrol);
        if (aria.ok && zephrol.ok)
            std::printf("%-10s %5u %10s %14s %14.2f\n", "  ratio", n, "", "", aria.seconds / zephrol.seconds);
        std::fflush(stdout);
    }
}

// At 4 connections, one held to `slow_rate` and the others to `rate`: the
// aggregate rate, and what became of the slow connection's work. The slow
// one is the first whose first request asks for file data away from the
// start (64 KiB or more from a non-zero offset: no probe, not the opening
// whole-file request), so each tool meets it in the middle of its work.
void run_takeover(ThrottleProxy& proxy, const fs::path& work, const std::string& name, std::uint64_t size, double rate,
                  double slow_rate)
{
    const std::string url = "http://127.0.0.1:" + std::to_string(proxy.port()) + "/" + name;
    std::printf("\none slow connection at %.0f kB/s, the others %.1f MB/s, 4 connections, %llu MiB\n"
                "%-10s %10s %5s %9s %10s %10s %14s\n",
                slow_rate / 1e3, rate / 1e6, static_cast<unsigned long long>(size >> 20), "tool", "MB/s", "slow",
                "slow reqs", "asked MiB", "got MiB", "asked again MiB");
    for (const char* tool : {"aria2c", "zephrol"}) {
        auto slow = std::make_shared<int>(-1);   // the slowed connection's number
        proxy.reset([=](const ThrottleProxy::Request& first) {
            const bool away = first.ranged && first.first > 0 && (first.last == UINT64_MAX || first.last - first.first >= 65535);
            if (*slow < 0 && away) *slow = first.connection;
            return first.connection == *slow ? slow_rate : rate;
        });
        const Result r = std::strcmp(tool, "aria2c") == 0 ? run_aria2(url, 4, work)
                                                          : run_zephrol(url, 4, 0, work, work / "www" / name, size);
        const SlowConnection s = slow_connection_of(proxy.requests(), *slow, size);
        if (!r.ok) {
            std::printf("%-10s %10s\n", tool, "FAILED");
            continue;
        }
        std::printf("%-10s %10.2f %5d %9zu %10.2f %10.2f %14.2f\n", tool, static_cast<double>(size) / 1e6 / r.seconds,
                    *slow, s.requests, s.asked / 1048576.0, s.delivered / 1048576.0, s.taken_over / 1048576.0);
        std::fflush(stdout);
    }
}

}

int main(int argc, char** argv)
{
    const std::uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 256;
    const std::uint64_t size = mib * 1024 * 1024;
    char pattern[] = "/tmp/zephrol-bench-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    fs::create_directories(work / "www");
    make_file(work / "www" / "file.bin", size);
    const int port = free_port();
    write_nginx_conf(work, port);
    const pid_t nginx = spawn({"nginx", "-p", work.string(), "-c", (work / "nginx.conf").string()});
    for (int i = 0; i < 100 && !port_answers(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (nginx < 0 || !port_answers(port)) {
        std::fprintf(stderr, "nginx did not start (see %s/error.log)\n", work.c_str());
        return 1;
    }
    std::printf("uncapped: %llu MiB from nginx on 127.0.0.1:%d\n", static_cast<unsigned long long>(mib), port);
    std::printf("%-10s %5s %10s %12s %14s %14s\n", "tool", "conns", "MB/s", "CPU s/GB", "zephrol/curl", "zephrol/aria2");
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/file.bin";
    const Result curl = run_tool({"curl", "-s", "-f", "-o", (work / "out.bin").string(), url});
    print_row("curl", 1, curl, size);
    const Result ostrel = run_ostrel(url, work);
    print_row("ostrel", 1, ostrel, size);
    if (ostrel.ok && curl.ok)
        std::printf("%-10s %5u %10s %12s %14s %14s   ostrel/curl %.2f\n", "  ratio", 1u, "", "", "", "",
                    curl.seconds / ostrel.seconds);
    for (const DWORD n : {1u, 4u, 8u}) {
        const Result aria = run_aria2(url, n, work);
        const Result zephrol = run_zephrol(url, n, 0, work, work / "www" / "file.bin", size);
        print_row("aria2c", n, aria, size);
        print_row("zephrol", n, zephrol, size);
        if (zephrol.ok && curl.ok && aria.ok)
            std::printf("%-10s %5u %10s %12s %14.2f %14.2f\n", "  ratio", n, "", "", curl.seconds / zephrol.seconds,
                        aria.seconds / zephrol.seconds);
        std::fflush(stdout);
    }

    // The throttled runs move a smaller file: each connection is slow.
    constexpr double rate = 2e6;
    const std::uint64_t throttled = std::min<std::uint64_t>(size, 32ull << 20);
    const std::uint64_t takeover = std::min<std::uint64_t>(size, 16ull << 20);
    make_file(work / "www" / "throttled.bin", throttled);
    make_file(work / "www" / "takeover.bin", takeover);
    {
        ThrottleProxy proxy(port, [](const ThrottleProxy::Request&) { return rate; });
        run_throttled(proxy, work, "throttled.bin", throttled, rate);
        run_takeover(proxy, work, "takeover.bin", takeover, rate, 40e3);
    }
    run_paced("http://127.0.0.1:" + std::to_string(port) + "/", work);
    ::kill(nginx, SIGTERM);
    ::waitpid(nginx, nullptr, 0);
    fs::remove_all(work);
    return 0;
}
