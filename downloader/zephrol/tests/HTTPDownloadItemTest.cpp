#include "downloader/zephrol/HTTPDownloader.h"
#include "downloader/zephrol/tests/LoopbackServer.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// Stands in for the segment master: hands out planned runs when asked, keeps
// a copy of every delivered segment and every event.
class RecordingMaster : public tBaseObject<ISegmentMaster, ICorvaEventHandler> {
public:
    RecordingMaster() : tBaseObject("RecordingMaster") {}

    // Runs of (offset, size), handed out one per reassign request.
    void plan(std::vector<std::vector<std::pair<DWORD, DWORD>>> runs)
    {
        std::scoped_lock hold(m_lock);
        m_plan.assign(runs.begin(), runs.end());
    }
    void set_slave(ISegmentSlave* slave) { m_slave = slave; }

    BaseResult RequestReassign(ISegmentSlave* slave) noexcept override
    {
        std::vector<tSegmentRecord> records;
        {
            std::scoped_lock hold(m_lock);
            ++m_reassigns;
            if (m_plan.empty()) return RESULT_OK;
            for (const auto& [offset, size] : m_plan.front()) {
                m_buffers.push_back(std::make_unique<BYTE[]>(size));
                records.push_back({offset, size, m_buffers.back().get()});
            }
            m_plan.pop_front();
        }
        m_assign_results.push_back(slave->AssignSegments(records.data(), static_cast<DWORD>(records.size())));
        return RESULT_OK;
    }
    BaseResult SegmentDownloaded(tSegmentRecord r, ISegmentSlave*) noexcept override
    {
        std::scoped_lock hold(m_lock);
        m_segments[r.offset] = std::string(reinterpret_cast<const char*>(r.data), r.size);
        m_changed.notify_all();
        return RESULT_OK;
    }
    BaseResult SegmentRefused(tSegmentRecord r, ISegmentSlave*) noexcept override
    {
        std::scoped_lock hold(m_lock);
        m_refused.push_back(r.offset);
        m_changed.notify_all();
        return RESULT_OK;
    }
    BaseResult FragmentData(DWORD offset, const BYTE* bytes, DWORD size, ISegmentSlave*) noexcept override
    {
        std::scoped_lock hold(m_lock);
        m_fragments.emplace_back(offset, std::string(reinterpret_cast<const char*>(bytes), size));
        return RESULT_OK;
    }
    BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t) noexcept override
    {
        std::scoped_lock hold(m_lock);
        DWORD word = 0;
        if (event.code == EVENT_FAILED) word = static_cast<const tDownloadFailEvent&>(event).error;
        if (event.code == EVENT_PARTIAL_DETECT) word = static_cast<const tDownloadPartialDetectEvent&>(event).answer;
        m_events.emplace_back(event.code, word);
        m_changed.notify_all();
        return RESULT_OK;
    }

    template <class Predicate>
    bool wait(Predicate done)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, 60s, [&] { return done(*this); });
    }
    bool has_event(DWORD code) const
    {
        return std::any_of(m_events.begin(), m_events.end(), [code](const auto& e) { return e.first == code; });
    }
    DWORD event_word(DWORD code) const
    {
        for (const auto& e : m_events)
            if (e.first == code) return e.second;
        return 0xFFFFFFFF;
    }
    // Every delivered segment must equal the content at its offset.
    void expect_segments_match(const std::string& content) const
    {
        std::scoped_lock hold(m_lock);
        for (const auto& [offset, bytes] : m_segments) {
            EXPECT_TRUE(bytes == content.substr(offset, bytes.size())) << "segment at " << offset << " differs";
        }
    }

    mutable std::recursive_mutex m_lock;
    std::condition_variable_any m_changed;
    std::deque<std::vector<std::pair<DWORD, DWORD>>> m_plan;
    std::vector<std::unique_ptr<BYTE[]>> m_buffers;
    std::vector<BaseResult> m_assign_results;
    std::map<DWORD, std::string> m_segments;
    std::vector<DWORD> m_refused;
    std::vector<std::pair<DWORD, std::string>> m_fragments;
    std::vector<std::pair<DWORD, DWORD>> m_events;
    int m_reassigns{0};
    ISegmentSlave* m_slave{nullptr};
};

// One HTTP item made by a core, with its three interfaces.
struct Slave {
    Slave()
    {
        EXPECT_EQ(core->CreateDownloadItem(&item, "test"), RESULT_OK);
        item->QueryInterface(ID_IHTTPDownload, reinterpret_cast<void**>(&http), "test");
        item->QueryInterface(ID_ISegmentSlave, reinterpret_cast<void**>(&slave), "test");
    }
    ~Slave() { DeleteHTTPDownloader(core); }

    void segment_mode(RecordingMaster& master, const std::string& url, bool fallback)
    {
        ASSERT_EQ(http->Init(), RESULT_OK);
        ASSERT_EQ(http->SetURL(url.c_str()), RESULT_OK);
        slave->SetSegmentMode(true);
        slave->SetMaster(&master);
        slave->SetSegmentSize(SEGMENT_BYTES);
        item->SetEventHandler(&master, 7);
        http->SetFallback(fallback);
        master.set_slave(slave);
    }

    IDownloadCore* core{CreateHTTPDownloader()};
    ICorvaDownloadItem* item{nullptr};
    IHTTPDownload* http{nullptr};
    ISegmentSlave* slave{nullptr};
};

std::vector<std::pair<DWORD, DWORD>> run_of(DWORD first_index, DWORD count, DWORD total)
{
    std::vector<std::pair<DWORD, DWORD>> run;
    for (DWORD i = first_index; i < first_index + count; ++i) {
        const DWORD offset = i * SEGMENT_BYTES;
        if (offset >= total) break;
        run.emplace_back(offset, std::min(SEGMENT_BYTES, total - offset));
    }
    return run;
}

void set_hklm_text(const char* key, const char* name, const std::string& value)
{
    HKEY handle = nullptr;
    const std::u16string k = plat::utf8_to_utf16(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, k.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    const std::u16string n = plat::utf8_to_utf16(name);
    const std::u16string v = plat::utf8_to_utf16(value);
    RegSetValueExW(handle, n.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(handle);
}

}

TEST(HTTPDownloadItem, AssignmentsMustBeOneRunInsideTheTotal)
{
    plat::TemporaryRegistry registry;
    BYTE a[SEGMENT_BYTES];
    BYTE b[SEGMENT_BYTES];
    const struct {
        const char* name;
        std::vector<tSegmentRecord> records;
        DWORD total;
        BaseResult expected;
    } cases[] = {
        {"gap", {{0, SEGMENT_BYTES, a}, {40000, SEGMENT_BYTES, b}}, 0, RESULT_NOT_CONTIGUOUS},
        {"ends at the total", {{0, SEGMENT_BYTES, a}, {SEGMENT_BYTES, SEGMENT_BYTES, b}}, 65536, RESULT_OK},
        {"passes the total", {{0, SEGMENT_BYTES, a}, {SEGMENT_BYTES, SEGMENT_BYTES, b}}, 65535, RESULT_SIZE_MISMATCH},
        {"empty segment", {{0, 0, a}}, 0, RESULT_SIZE_MISMATCH},
        {"no buffer", {{0, SEGMENT_BYTES, nullptr}}, 0, RESULT_SIZE_MISMATCH},
        {"past 4 GiB", {{0xFFFFFF00u, SEGMENT_BYTES, a}}, 0, RESULT_SIZE_MISMATCH},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Slave s;
        s.http->SetTotalSize(c.total);
        EXPECT_EQ(s.slave->AssignSegments(c.records.data(), static_cast<DWORD>(c.records.size())), c.expected);
    }
}

TEST(HTTPDownloadItem, RangeStateIsUndeterminedBeforeAnyTransfer)
{
    plat::TemporaryRegistry registry;
    Slave s;
    EXPECT_EQ(s.http->GetRangeState(), RESULT_UNDETERMINED);
    EXPECT_EQ(s.http->SetURL("not a url"), RESULT_FAIL);
    EXPECT_EQ(s.http->SetURL("http://127.0.0.1:1/x"), RESULT_OK);
}

TEST(HTTPDownloadItem, RunIsFetchedWithOneRangeRequest)
{
    plat::TemporaryRegistry registry;
    const std::string content = make_content(100000);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    RecordingMaster master;
    master.plan({{{0, 32768}, {32768, 32768}, {65536, 1000}}});
    Slave s;
    s.segment_mode(master, server.url("/v.flv"), false);
    s.item->Start();
    ASSERT_TRUE(master.wait([](auto& m) { return m.m_segments.size() == 3 && m.has_event(EVENT_COMPLETE); }));
    s.item->Stop();
    ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); }));
    master.expect_segments_match(content);
    EXPECT_EQ(server.requests().at(0).header("range"), "bytes=0-66535");
    EXPECT_EQ(s.http->GetRangeState(), RESULT_OK);
    EXPECT_FALSE(master.has_event(EVENT_FAILED));
    // Only segment 0 lies in the head that is reported as it arrives.
    for (const auto& [offset, bytes] : master.m_fragments) EXPECT_LT(offset, SEGMENT_BYTES);
}

// What reaches the master for each kind of reply to a ranged request.
TEST(HTTPDownloadItem, OnlyTheAskedRangeBecomesSegmentData)
{
    plat::TemporaryRegistry registry;
    const DWORD total = 5 * SEGMENT_BYTES + 123;
    const std::string content = make_content(total);
    const struct {
        const char* name;
        ContentOptions options;
        bool fallback;
        bool whole_file_fetched;   // the segments arrive, through the progressive fallback when the range failed
        DWORD failure;             // sub-code of event 101, 0 for none
    } cases[] = {
        {"206", {}, false, true, 0},
        {"206 with lower-case headers", {.lower_case = true}, false, true, 0},
        {"200 ignoring the range, fallback on", {.honour_range = false}, true, true, 0},
        {"200 ignoring the range, fallback off", {.honour_range = false}, false, false, HTTP_ERROR_RANGE_REFUSED},
        {"206 at a wrong offset, fallback on", {.offset_shift = 100}, true, true, 0},
        {"206 at a wrong offset, fallback off", {.offset_shift = 100}, false, false, HTTP_ERROR_RANGE_REFUSED},
        {"404 error page", {.error_status = 404}, true, false, HTTP_ERROR_TRANSFER},
        {"503 error page", {.error_status = 503}, true, false, HTTP_ERROR_TRANSFER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, c.options); });
        RecordingMaster master;
        master.plan({run_of(0, 6, total)});
        Slave s;
        s.segment_mode(master, server.url("/v.flv"), c.fallback);
        s.item->Start();
        if (c.whole_file_fetched) {
            ASSERT_TRUE(master.wait([](auto& m) { return m.m_segments.size() == 6; }));
        } else {
            ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_FAILED); }));
            EXPECT_EQ(master.event_word(EVENT_FAILED), c.failure);
            EXPECT_TRUE(master.m_segments.empty());
            EXPECT_EQ(master.m_refused.size(), 6u);   // handed back, to be fetched elsewhere
        }
        s.item->Stop();
        ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); }));
        master.expect_segments_match(content);
        for (const auto& [offset, bytes] : master.m_fragments) EXPECT_TRUE(bytes == content.substr(offset, bytes.size()));
        const auto requests = server.requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].header("range"), "bytes=0-163962");
        if (c.fallback && c.whole_file_fetched && !c.options.honour_range) {
            ASSERT_GE(requests.size(), 2u);
            EXPECT_EQ(requests[1].header("range"), "");   // the progressive download asks for the whole file
        }
    }
}

TEST(HTTPDownloadItem, ShortReplyAtTheContentEndGivesTheRestBack)
{
    plat::TemporaryRegistry registry;
    const DWORD total = 100000;
    const std::string content = make_content(total);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {}); });
    RecordingMaster master;
    master.plan({run_of(0, 5, 5 * SEGMENT_BYTES)});   // the total is not known yet: five full segments
    Slave s;
    s.segment_mode(master, server.url("/v.flv"), false);
    s.item->Start();
    ASSERT_TRUE(master.wait([](auto& m) { return m.m_segments.size() == 3 && m.m_refused.size() == 2; }));
    master.expect_segments_match(content);
    DWORD known = 0;
    s.item->GetTotalSize(&known);
    EXPECT_EQ(known, total);
    EXPECT_EQ(master.m_refused, (std::vector<DWORD>{3 * SEGMENT_BYTES, 4 * SEGMENT_BYTES}));
}

TEST(HTTPDownloadItem, RedirectIsFollowedOnceThenTheTargetIsAskedDirectly)
{
    plat::TemporaryRegistry registry;
    const DWORD total = 4 * SEGMENT_BYTES;
    const std::string content = make_content(total);
    std::unique_ptr<LoopbackServer> server;
    server = std::make_unique<LoopbackServer>([&](const HttpRequest& r) {
        if (r.path == "/moved") return HttpReply{302, {{"Location", "/real.flv"}, {"Content-Length", "0"}}, ""};
        return reply_with_content(content, r, {});
    });
    RecordingMaster master;
    master.plan({run_of(0, 2, total), run_of(2, 2, total)});
    Slave s;
    s.segment_mode(master, server->url("/moved"), false);
    s.item->Start();
    ASSERT_TRUE(master.wait([](auto& m) { return m.m_segments.size() == 4; }));
    s.item->Stop();
    master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); });
    master.expect_segments_match(content);
    std::vector<std::string> paths;
    for (const auto& r : server->requests()) paths.push_back(r.path + " " + r.header("range"));
    EXPECT_EQ(paths, (std::vector<std::string>{"/moved bytes=0-65535", "/real.flv bytes=0-65535",
                                               "/real.flv bytes=65536-131071"}));
}

TEST(HTTPDownloadItem, StopEndsAStalledTransferWithoutAFailure)
{
    plat::TemporaryRegistry registry;
    const std::string content = make_content(3 * SEGMENT_BYTES);
    LoopbackServer server([&](const HttpRequest& r) {
        return reply_with_content(content, r, {.stall_after = 40000, .stall_ms = 60000});
    });
    RecordingMaster master;
    master.plan({run_of(0, 3, 3 * SEGMENT_BYTES)});
    Slave s;
    s.segment_mode(master, server.url("/v.flv"), false);
    s.item->Start();
    ASSERT_TRUE(master.wait([](auto& m) { return m.m_segments.size() == 1; }));
    s.item->Stop();
    ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); }));
    EXPECT_FALSE(master.has_event(EVENT_FAILED));
    master.expect_segments_match(content);
}

TEST(HTTPDownloadItem, ProbeAcceptsOnlyA206StartingWhereItAsked)
{
    plat::TemporaryRegistry registry;
    const std::string content = make_content(50000);
    const struct {
        const char* name;
        ContentOptions options;
        DWORD answer;
    } cases[] = {
        {"206", {}, PARTIAL_SUPPORTED},
        {"206, lower-case headers", {.lower_case = true}, PARTIAL_SUPPORTED},
        {"200 of the whole file", {.honour_range = false}, PARTIAL_UNSUPPORTED},
        {"206 elsewhere", {.offset_shift = 10}, PARTIAL_UNSUPPORTED},
        {"404", {.error_status = 404}, PARTIAL_UNSUPPORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, c.options); });
        RecordingMaster master;
        Slave s;
        ASSERT_EQ(s.http->Init(), RESULT_OK);
        s.http->SetMode(MODE_TEST_PARTIAL);
        s.http->SetTotalSize(50000);   // a 200 of this length still does not count as a range answer
        s.http->SetURL(server.url("/v.flv").c_str());
        s.item->SetEventHandler(&master, 0);
        s.item->Start();
        ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); }));
        EXPECT_EQ(master.event_word(EVENT_PARTIAL_DETECT), c.answer);
        EXPECT_EQ(server.requests().at(0).header("range"), "bytes=1000-2000");
        EXPECT_EQ(s.http->GetRangeState(), c.answer == PARTIAL_SUPPORTED ? RESULT_OK : RESULT_FAIL);
    }
}

TEST(HTTPDownloadItem, SeekedRunUsesTheStartParameterAndDropsTheFileHeader)
{
    plat::TemporaryRegistry registry;
    set_hklm_text("Software\\Corvalen\\HTTP", "SeekHost", "127.0.0.1");
    const DWORD total = 4 * SEGMENT_BYTES;
    const std::string content = make_content(total);
    const std::string file_header("FLV\x01\x05\0\0\0\x09\0\0\0\0", 13);
    LoopbackServer server([&](const HttpRequest& r) {
        HttpReply reply;
        const std::size_t at = r.path.find("&start=");
        const std::size_t start = at == std::string::npos ? 0 : std::stoul(r.path.substr(at + 7));
        reply.body = (start == 0 ? std::string() : file_header) + content.substr(start);
        reply.headers = {{"Content-Length", std::to_string(reply.body.size())}};
        return reply;
    });
    RecordingMaster master;
    master.plan({run_of(1, 2, total)});
    Slave s;
    s.http->SetSiteSeek(true);
    s.segment_mode(master, server.url("/get_video?id=1"), false);
    EXPECT_EQ(s.http->GetRangeState(), RESULT_OK);
    s.item->Start();
    ASSERT_TRUE(master.wait([](auto& m) { return m.m_segments.size() == 2 && m.has_event(EVENT_COMPLETE); }));
    s.item->Stop();
    master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); });
    master.expect_segments_match(content);
    EXPECT_EQ(server.requests().at(0).path, "/get_video?id=1&start=32768");
    EXPECT_EQ(server.requests().at(0).header("range"), "");
    DWORD known = 0;
    s.item->GetTotalSize(&known);
    EXPECT_EQ(known, total);
}

TEST(HTTPDownloadItem, FileModeWritesTheWholeFileAndRefusesErrorPages)
{
    plat::TemporaryRegistry registry;
    const std::string content = make_content(200000);
    const auto folder = std::filesystem::temp_directory_path() / ("zephrol-file-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const int status : {0, 404}) {
        SCOPED_TRACE(status);
        LoopbackServer server(
            [&](const HttpRequest& r) { return reply_with_content(content, r, {.error_status = status}); });
        RecordingMaster master;
        Slave s;
        const auto path = folder / "out.bin";
        ASSERT_EQ(s.http->Init(), RESULT_OK);
        s.http->SetURL(server.url("/f").c_str());
        const std::u16string wide = plat::utf8_to_utf16(path.string());
        s.http->SetFilePath(wide.c_str());
        s.item->SetEventHandler(&master, 0);
        s.item->Start();
        ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); }));
        std::ifstream in(path, std::ios::binary);
        const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (status == 0) {
            EXPECT_TRUE(master.has_event(EVENT_COMPLETE));
            EXPECT_EQ(written, content);
        } else {
            EXPECT_TRUE(master.has_event(EVENT_FAILED));
            EXPECT_EQ(written, "");
        }
    }
    std::filesystem::remove_all(folder);
}

TEST(HTTPDownloader, DeletesEachItemOnceAndTheRestWithItself)
{
    plat::TemporaryRegistry registry;
    IDownloadCore* core = CreateHTTPDownloader();
    ASSERT_NE(core, nullptr);
    ICorvaDownloadItem* a = nullptr;
    ICorvaDownloadItem* b = nullptr;
    ASSERT_EQ(core->CreateDownloadItem(&a, "x"), RESULT_OK);
    ASSERT_EQ(core->CreateDownloadItem(&b, "x"), RESULT_OK);
    EXPECT_EQ(core->CreateDownloadItem(nullptr, "x"), RESULT_FAIL);
    EXPECT_EQ(core->DeleteDownloadItem(a), RESULT_OK);
    EXPECT_EQ(core->DeleteDownloadItem(a), RESULT_UNKNOWN_ITEM);
    // b is still running its worker when the core goes: the core stops and frees it.
    IHTTPDownload* http = nullptr;
    b->QueryInterface(ID_IHTTPDownload, reinterpret_cast<void**>(&http), "x");
    http->Init();
    http->SetURL("http://127.0.0.1:1/nothing");
    http->SetMode(MODE_DOWNLOAD_SEGMENT);
    b->Start();
    DeleteHTTPDownloader(core);
}

TEST(HTTPDownloadItem, LogFileIsWrittenWhenTheRegistryNamesAFolder)
{
    plat::TemporaryRegistry registry;
    const auto folder = registry.folder() / "httplog";
    set_hklm_text("Software\\Corvalen\\HTTP\\Log", "logdir", folder.string() + "/");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Corvalen\\HTTP\\Log", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const DWORD level = 5;
    RegSetValueExW(key, u"loglevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
    RegCloseKey(key);
    const std::string content = make_content(5000);
    LoopbackServer server([&](const HttpRequest& r) { return reply_with_content(content, r, {.lower_case = true}); });
    RecordingMaster master;
    {
        Slave s;
        ASSERT_EQ(s.http->Init(), RESULT_OK);
        s.http->SetMode(MODE_TEST_PARTIAL);
        s.http->SetURL(server.url("/v.flv").c_str());
        s.item->SetEventHandler(&master, 0);
        s.item->Start();
        ASSERT_TRUE(master.wait([](auto& m) { return m.has_event(EVENT_STOPPED); }));
    }
    ASSERT_TRUE(std::filesystem::exists(folder));
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::u16string wide(bytes.size() / 2, u'\0');
        std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
        text += plat::utf16_to_utf8(wide);
    }
    EXPECT_NE(text.find("Set Download Mode: Test Partial Ability"), std::string::npos);
    EXPECT_NE(text.find("DEBUG: Request: " + server.url("/v.flv")), std::string::npos);
    EXPECT_NE(text.find("HEAD: content-range: bytes 1000-2000/5000"), std::string::npos);
}
