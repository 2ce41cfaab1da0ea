#include "outside/filters/Decoders.h"
#include "outside/filters/LavfSplitter.h"
#include "outside/filters/NetSource.h"
#include "outside/filters/testing/FilterTesting.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "platform/fs/testing/TempFolder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

using plat::ComPtr;

namespace {

// A data store as the engine scripts it: some bytes, a size it tells, and
// a count of bytes read that may be a lie.
class ScriptedStore final : public ISourceManager {
    std::mutex m_lock;
    const std::vector<BYTE> m_bytes;

public:
    explicit ScriptedStore(std::vector<BYTE> bytes) : m_bytes(std::move(bytes)), told_size(LONGLONG(m_bytes.size())) {}

    LONG ReadData(LONGLONG position, LONG length, BYTE* buffer, LONG* read) override
    {
        std::scoped_lock hold(m_lock);
        const LONGLONG left = std::max<LONGLONG>(LONGLONG(m_bytes.size()) - position, 0);
        const LONG n = static_cast<LONG>(std::min<LONGLONG>(length, left));
        if (n > 0) std::copy_n(m_bytes.begin() + position, n, buffer);
        *read = n + extra_claimed;
        ++reads;
        return 1;
    }
    LONGLONG GetTotalSize() override { return told_size; }

    LONGLONG told_size;
    LONG extra_claimed = 0;
    int reads = 0;   // guarded by m_lock
};

std::vector<BYTE> counting(std::size_t n)
{
    std::vector<BYTE> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = BYTE(i);
    return bytes;
}

class NetSource : public RegisteredFilters {
protected:
    ComPtr<IAsyncReader> reader_over(ISourceManager* store)
    {
        source = create(filters::CLSID_CorvaNetSource);
        EXPECT_EQ(source.as<filters::ICorvaNetSource>()->SetSourceManager(store), S_OK);
        return ComPtr<IPin>(pin(source.get(), PINDIR_OUTPUT)).as<IAsyncReader>();
    }

    ComPtr<IBaseFilter> source;
};

}

TEST_F(NetSource, ReadsComeFromTheStoreAndShortOnesAreZeroFilled)
{
    ScriptedStore store(counting(100));
    const ComPtr<IAsyncReader> reader = reader_over(&store);
    const struct {
        LONGLONG position;
        LONG length;
        LONG claimed_extra;
        HRESULT result;
        LONG real;   // bytes that come from the store; the rest reads as 0
    } cases[] = {
        {0, 16, 0, S_OK, 16},       {90, 16, 0, S_FALSE, 10},   {100, 4, 0, S_FALSE, 0},
        {200, 4, 0, S_FALSE, 0},    {96, 8, 1000, S_OK, 4},  {-1, 4, 0, E_INVALIDARG, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        store.extra_claimed = c.claimed_extra;
        std::vector<BYTE> buffer(std::size_t(c.length) + 8, 0xEE);
        EXPECT_EQ(reader->SyncRead(c.position, c.length, buffer.data()), c.result);
        if (FAILED(c.result)) continue;
        for (LONG i = 0; i < c.real; ++i) EXPECT_EQ(buffer[i], BYTE(c.position + i)) << i;
        if (c.claimed_extra == 0) {
            for (LONG i = c.real; i < c.length; ++i) EXPECT_EQ(buffer[i], 0) << i;
        }
        // A store claiming more than was asked is taken at the buffer's length:
        // nothing is written or counted past it.
        EXPECT_EQ(buffer[std::size_t(c.length)], 0xEE);
    }
    LONGLONG total = 0, available = 0;
    store.told_size = -5;
    EXPECT_EQ(reader->Length(&total, &available), S_OK);
    EXPECT_EQ(total, 0);
    store.told_size = 0x2000000;
    EXPECT_EQ(reader->Length(&total, &available), S_OK);
    EXPECT_EQ(total, 0x2000000);
    EXPECT_EQ(available, 0x2000000);
}

TEST_F(NetSource, WithoutAStoreNothingIsRead)
{
    const ComPtr<IAsyncReader> reader = reader_over(nullptr);
    BYTE buffer[4];
    LONGLONG total, available;
    EXPECT_EQ(reader->SyncRead(0, 4, buffer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(reader->Length(&total, &available), VFW_E_NOT_CONNECTED);
}

TEST_F(NetSource, AClipInTheStorePlaysThroughTheSplitter)
{
    plat::TempFolder folder;
    const std::string path = folder / "clip.avi";
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1 "
                                "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
                                "-c:v mpeg4 -c:a libmp3lame -ac 2 '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream file(path, std::ios::binary);
    ScriptedStore store(std::vector<BYTE>(std::istreambuf_iterator<char>(file), {}));
    reader_over(&store);

    const ComPtr<plat::FilterGraph> graph(new plat::FilterGraph());
    const ComPtr<IBaseFilter> splitter = create(filters::CLSID_AVISplitter);
    graph->AddFilter(source.get(), u"Corva Net Source");
    graph->AddFilter(splitter.get(), u"AVI Splitter");
    ASSERT_EQ(graph->ConnectDirect(pin(source.get(), PINDIR_OUTPUT), pin(splitter.get(), PINDIR_INPUT), nullptr), S_OK);
    ComPtr<plat::RecordingSink> pictures;
    for (int i = 0; IPin* out = pin(splitter.get(), PINDIR_OUTPUT, i); ++i) {
        const bool is_video = offered_major(out) == MEDIATYPE_Video;
        const ComPtr<IBaseFilter> decoder = create(is_video ? filters::CLSID_FlashDecoder : filters::CLSID_KVRAudioDecoder);
        const ComPtr<plat::RecordingSink> sink(new plat::RecordingSink());
        graph->AddFilter(decoder.get(), nullptr);
        graph->AddFilter(sink.get(), nullptr);
        ASSERT_EQ(graph->ConnectDirect(out, pin(decoder.get(), PINDIR_INPUT), nullptr), S_OK);
        ASSERT_EQ(graph->ConnectDirect(pin(decoder.get(), PINDIR_OUTPUT), sink->input(), nullptr), S_OK);
        if (is_video) pictures = sink;
    }
    ASSERT_TRUE(pictures);
    ASSERT_EQ(graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(pictures->sample_count(), 25u);
    graph->Stop();
    EXPECT_GT(store.reads, 0);
}
