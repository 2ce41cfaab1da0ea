// Damaged RealMedia files end with completion or an error event, and a
// bounded run of random damage through the chunk, packet and piece readers
// finds nothing the sanitizers object to.

#include "splitter/realmedia/RMFile.h"
#include "splitter/realmedia/RMParser.h"
#include "splitter/realmedia/RealVideoPieces.h"
#include "splitter/realmedia/tests/RmBuilder.h"

#include "splitter/base/testing/ParserTesting.h"

#include <gtest/gtest.h>


using namespace splitter_testing;
using rm::operator+;

namespace {

rm::Bytes small_file()
{
    const auto len2 = [](std::size_t v) { return rm::be(0x4000 | v, 2); };
    const rm::Bytes packets =
        rm::packet(0, 0, 2, rm::Bytes{0x40, 0x01, 0, 0, 0, 0x0A, 1, 2}) +
        rm::packet(0, 40, 0, rm::Bytes{0x00, 0x01} + len2(6) + len2(0) + rm::Bytes{0x01, 1, 2, 3}) +
        rm::packet(0, 40, 0, rm::Bytes{0x81, 0x02} + len2(6) + len2(3) + rm::Bytes{0x02, 4, 5, 6}) +
        rm::packet(0, 80, 0, rm::Bytes{0xC0} + len2(2) + len2(80) + rm::Bytes{0x00, 7, 7}, 1) +
        rm::packet(1, 0, 2, rm::Bytes{0x00, 0x20} + rm::be(3, 2) + rm::be(2, 2) + rm::Bytes{1, 1, 1, 2, 2});
    return rm::file_header() + rm::properties(1000) + rm::media(0, "video/x-pn-realvideo", rm::video_type("RV40", 176, 144)) +
           rm::media(1, "audio/x-pn-realaudio", rm::audio_type("raac", 44100, 2, {0x02, 0x12, 0x10})) +
           rm::data(5, packets) + rm::index(0, {{0, 0, 0}, {40, 90, 1}}) + rm::subtitle("x", "y");
}

}

TEST(RmDamaged, DamagedFilesEndCleanly)
{
    plat::TempFolder dir;
    const Bytes whole = read_file(test_media("rv20-ac3.rm"));
    ASSERT_GT(whole.size(), 10000u);
    auto damaged = damaged_copies(whole, {0, 5, 8, 20, 30, 50, 60, 100, 200, 300});
    const rm::Bytes head = rm::file_header() + rm::properties(1000) +
                           rm::media(0, "video/x-pn-realvideo", rm::video_type("RV20", 176, 144));
    damaged.emplace_back("huge packet length", head + rm::data(1, rm::be(0, 2) + rm::be(0xFFFF, 2) + rm::be(0, 8)));
    damaged.emplace_back("huge type data", rm::file_header() + rm::chunk("MDPR", rm::be(0, 30) + rm::Bytes{0, 0} + rm::be(0xFFFFFFF0, 4)));
    damaged.emplace_back("huge index count", head + rm::data(0, {}) + rm::chunk("INDX", rm::be(0xFFFFFFFF, 4) + rm::be(0, 6)));
    damaged.emplace_back("huge frame length", head + rm::data(1, rm::packet(0, 0, 2, rm::Bytes{0x00, 0x01} + rm::be(0x3FFFFFFF, 4) + rm::be(0x3FFFFFF0, 4) + rm::Bytes{1, 2})));
    damaged.emplace_back("chunk size below its header", rm::file_header() + rm::be(0x4D445052, 4) + rm::be(2, 4) + rm::be(0, 2));
    damaged.emplace_back("bare RealAudio", rm::Bytes{'.', 'r', 'a', 0xFD, 0, 4});
    damaged.emplace_back("video piece without bytes", head + rm::data(2, rm::packet(0, 0, 2, rm::Bytes{0x40, 0x01}) +
                                                                         rm::packet(0, 40, 2, rm::Bytes{0x40, 0x02, 7})));
    expect_each_ends_cleanly(dir, damaged, [](CBaseSplitterFilter* f) { return std::make_unique<CRMParser>(f); });
}

TEST(RmDamaged, RandomDamageThroughTheReaders)
{
    const int runs = for_random_damage(small_file(), [](IAsyncReader* reader) {
        HRESULT hr = S_OK;
        CRMFile file(reader, hr);
        if (FAILED(hr)) return;
        for (const auto& dc : file.m_dcs) {
            file.Seek(dc.pos);
            RMFF::MediaPacketHeader mph;
            for (int n = 0; n < 100 && file.GetPos() < dc.end && file.Read(mph) && mph.stream >= 0; ++n) {
                std::size_t at = 0;
                RealVideoPiece piece;
                while (at < mph.data.size() && ReadRealVideoPiece(mph.data, at, piece)) {
                    DWORD w = 0, h = 0;
                    ReadRealVideoPictureSize(piece.bytes, w, h);
                }
            }
        }
    });
    EXPECT_GT(runs, 0);
}
