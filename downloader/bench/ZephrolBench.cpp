// Downloads one file from a local nginx with the segmented downloader, with
// curl, with aria2c and with the download manager stand-in, and prints speed,
// CPU time per GB and the ratios; then paced downloads and how close they
// come to the rate set.
// Usage: zephrol_bench [size in MiB, default 256]

#include "components/common/murrel/Murrel.h"
#include "downloader/zephrol/ZephrolExports.h"
#include "downloader/zephrol/tests/DownloadOutcome.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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
         << "  server {\n    listen 127.0.0.1:" << port << ";\n    root " << w << "/www;\n"
         << "    location /limited/ { alias " << w << "/www/; limit_rate 4m; }\n  }\n}\n";
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

void print_row(const char* tool, DWORD connections, const char* cap, const Result& r, std::uint64_t size)
{
    if (!r.ok) {
        std::printf("%-10s %5u %-9s %10s\n", tool, connections, cap, "FAILED");
        return;
    }
    std::printf("%-10s %5u %-9s %10.1f %12.3f\n", tool, connections, cap, static_cast<double>(size) / 1e6 / r.seconds,
                r.cpu_seconds / (static_cast<double>(size) / 1e9));
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
    std::printf("file %llu MiB from nginx on 127.0.0.1:%d; limited = 4 MB/s per connection\n",
                static_cast<unsigned long long>(mib), port);
    std::printf("%-10s %5s %-9s %10s %12s %14s %14s\n", "tool", "conns", "cap", "MB/s", "CPU s/GB", "zephrol/curl",
                "zephrol/aria2");
    const fs::path out = work / "out.bin";
    for (const char* cap : {"uncapped", "limited"}) {
        const std::string url =
            "http://127.0.0.1:" + std::to_string(port) + (std::strcmp(cap, "limited") == 0 ? "/limited" : "") + "/file.bin";
        const Result curl = run_tool({"curl", "-s", "-f", "-o", out.string(), url});
        print_row("curl", 1, cap, curl, size);
        const Result ostrel = run_ostrel(url, work);
        print_row("ostrel", 1, cap, ostrel, size);
        if (ostrel.ok && curl.ok)
            std::printf("%-10s %5u %-9s %10s %12s %14s %14s   ostrel/curl %.2f\n", "  ratio", 1u, cap, "", "", "", "",
                        curl.seconds / ostrel.seconds);
        for (const DWORD n : {1u, 4u, 8u}) {
            const Result aria = run_tool({"aria2c", "-q", "-x", std::to_string(n), "-s", std::to_string(n), "-k", "1M",
                                          "--file-allocation=none", "--allow-overwrite=true", "-d", work.string(), "-o",
                                          "aria.bin", url});
            const Result zephrol = run_zephrol(url, n, 0, work, work / "www" / "file.bin", size);
            print_row("aria2c", n, cap, aria, size);
            print_row("zephrol", n, cap, zephrol, size);
            if (zephrol.ok && curl.ok && aria.ok)
                std::printf("%-10s %5u %-9s %10s %12s %14.2f %14.2f\n", "  ratio", n, cap, "", "",
                            curl.seconds / zephrol.seconds, aria.seconds / zephrol.seconds);
            std::fflush(stdout);
        }
    }
    run_paced("http://127.0.0.1:" + std::to_string(port) + "/", work);
    ::kill(nginx, SIGTERM);
    ::waitpid(nginx, nullptr, 0);
    fs::remove_all(work);
    return 0;
}
