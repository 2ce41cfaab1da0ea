// Atoms built byte by byte: the added atoms' edge cases, sizes and counts
// that do not fit, nesting, compressed headers that lie, damaged files.

#include "outside/ap4/Ap4AtomFactory.h"
#include "outside/ap4/Ap4File.h"
#include "outside/ap4/Ap4LeafAtoms.h"
#include "outside/ap4/Ap4MoovAtom.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4SampleEntry.h"
#include "outside/ap4/Ap4SampleTableAtoms.h"
#include "outside/ap4/Ap4Track.h"
#include "outside/ap4/tests/Ap4Testing.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

using namespace ap4_testing;

namespace {

// One atom read from the bytes with a fresh factory; null when refused.
std::unique_ptr<AP4_Atom> read_atom(const Bytes& bytes, AP4_Result* result = nullptr)
{
    AP4_StreamReference s = memory_stream(bytes);
    AP4_DefaultAtomFactory factory;
    AP4_LargeSize left = bytes.size();
    std::unique_ptr<AP4_Atom> atom;
    const AP4_Result r = factory.CreateAtomFromStream(*s.get(), left, atom);
    if (result) *result = r;
    return atom;
}

Bytes stbl(const Bytes& tables) { return atom("stbl", full_atom("stsd", be(0, 4)) + tables); }

// A movie of one video track whose sample table is given, and 1000 bytes of samples.
Bytes movie(const Bytes& tables, const std::string& handler = "vide")
{
    const Bytes hdlr = full_atom("hdlr", be(0, 4) + text(handler) + be(0, 12) + text("Name") + be(0, 1));
    const Bytes mdhd = full_atom("mdhd", be(0, 8) + be(1000, 4) + be(2000, 4) + be(0x55C4, 2) + be(0, 2));
    const Bytes trak = atom("trak", full_atom("tkhd", be(0, 8) + be(3, 4) + be(0, 8)) +
                                        atom("mdia", mdhd + hdlr + atom("minf", stbl(tables))));
    return atom("ftyp", text("isom")) + atom("moov", full_atom("mvhd", be(0, 8) + be(1000, 4) + be(2000, 4)) + trak) +
           atom("mdat", Bytes(1000));
}

// Ten 100-byte samples, one chunk at offset 0, 40 ms each.
Bytes sample_tables(const std::string& chunk_offsets = "stco")
{
    return full_atom("stts", be(1, 4) + be(10, 4) + be(40, 4)) + full_atom("stsc", be(1, 4) + be(1, 4) + be(10, 4) + be(1, 4)) +
           full_atom("stsz", be(100, 4) + be(10, 4)) +
           full_atom(chunk_offsets, be(1, 4) + be(0, chunk_offsets == "co64" ? 8 : 4));
}

struct OpenFile {
    explicit OpenFile(const Bytes& bytes) : stream(memory_stream(bytes)), file(*stream.get()) {}
    AP4_StreamReference stream;
    AP4_File file;
};

Bytes deflated(const Bytes& in)
{
    uLongf size = compressBound(in.size());
    Bytes out(size);
    compress(out.data(), &size, in.data(), in.size());
    out.resize(size);
    return out;
}

}

TEST(Ap4Atoms, Chapters)
{
    const Bytes two = be(0, 4) + be(2, 1) + be(0, 8) + be(5, 1) + text("Start") + be(90000000, 8) + be(3, 1) + text("End");
    const struct {
        const char* name;
        Bytes body;
        std::vector<std::string> titles;
    } cases[] = {
        {"none", be(0, 4) + be(0, 1), {}},
        {"two", two, {"Start", "End"}},
        // A count beyond what the atom holds stops at the last whole chapter.
        {"count too large", be(0, 4) + be(200, 1) + be(0, 8) + be(5, 1) + text("Start") + be(1, 8), {"Start"}},
        {"title past the end", be(0, 4) + be(1, 1) + be(0, 8) + be(50, 1) + text("Start"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto chpl = read_atom(full_atom("chpl", c.body, 1));
        auto* atom = dynamic_cast<AP4_ChplAtom*>(chpl.get());
        ASSERT_NE(atom, nullptr);
        std::vector<std::string> titles;
        for (const auto& chapter : atom->GetChapters()) titles.push_back(chapter.title);
        EXPECT_EQ(titles, c.titles);
    }
}

TEST(Ap4Atoms, FontTableInFileOrder)
{
    const Bytes body = be(3, 2) + be(1, 2) + be(5, 1) + text("Serif") + be(7, 2) + be(4, 1) + text("Mo") + be(0, 1) + text("x") +
                       be(2, 2) + be(4, 1) + text("Sans");
    auto ftab = read_atom(atom("ftab", body));
    auto* atom = dynamic_cast<AP4_FtabAtom*>(ftab.get());
    ASSERT_NE(atom, nullptr);
    ASSERT_EQ(atom->GetFonts().size(), 3u);
    // A zero byte ends a name early and is consumed; the bytes it left belong to the next field.
    EXPECT_EQ(atom->GetFonts()[0].name, "Serif");
    EXPECT_EQ(atom->GetFonts()[1].id, 7);
    EXPECT_EQ(atom->GetFonts()[1].name, "Mo");
    EXPECT_EQ(atom->GetFonts()[2].id, ('x' << 8) | 0);
}

TEST(Ap4Atoms, TextEntryFieldsTheAtomIsTooShortForKeepTheirValues)
{
    const Bytes entry = atom("text", be(0, 6) + be(1, 2) + be(0x11223344, 4) + be(5, 2));
    auto stsd = read_atom(full_atom("stsd", be(1, 4) + entry));
    ASSERT_NE(stsd, nullptr);
    auto* text_entry = dynamic_cast<AP4_TextSampleEntry*>(dynamic_cast<AP4_ContainerAtom&>(*stsd).GetChild(AP4_ATOM_TYPE('t', 'e', 'x', 't')));
    ASSERT_NE(text_entry, nullptr);
    EXPECT_EQ(text_entry->GetFields().display_flags, 0x11223344u);
    EXPECT_EQ(text_entry->GetFields().justification, 0u);
}

TEST(Ap4Atoms, SizesThatDoNotFitAreRefused)
{
    const struct {
        const char* name;
        Bytes bytes;
        AP4_Result result;
        AP4_UI64 size;   // of the atom made
    } cases[] = {
        {"size 0 runs to the end", be(0, 4) + text("free") + be(0, 20), AP4_SUCCESS, 28},
        {"64-bit size", be(1, 4) + text("free") + be(24, 8) + be(0, 8), AP4_SUCCESS, 24},
        {"size below the header", be(7, 4) + text("free") + be(0, 8), AP4_FAILURE, 0},
        {"64-bit size below its header", be(1, 4) + text("free") + be(12, 8), AP4_FAILURE, 0},
        {"size past the end", be(100, 4) + text("free") + be(0, 8), AP4_FAILURE, 0},
        {"64-bit size past the end", be(1, 4) + text("free") + be(0xFFFFFFFFFFFFFFF0, 8), AP4_FAILURE, 0},
        {"short header", be(8, 4) + text("fr"), AP4_ERROR_EOS, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AP4_Result r = 1;
        auto atom = read_atom(c.bytes, &r);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(atom ? atom->GetSize() : 0, c.size);
    }
}

TEST(Ap4Atoms, ChildPastItsParentStopsTheParentOnly)
{
    const Bytes bytes = atom("moov", atom("udta", be(500, 4) + text("free")) + atom("trak", {}));
    auto moov = read_atom(bytes);
    auto* parent = dynamic_cast<AP4_ContainerAtom*>(moov.get());
    ASSERT_NE(parent, nullptr);
    EXPECT_NE(parent->GetChild(AP4_ATOM_TYPE('u', 'd', 't', 'a')), nullptr);
    EXPECT_NE(parent->GetChild(AP4_ATOM_TYPE('t', 'r', 'a', 'k')), nullptr);
}

TEST(Ap4Atoms, SampleDescriptionsWithoutRoomForTheirCountAreRefused)
{
    for (const Bytes& stsd : {full_atom("stsd", {}), full_atom("stsd", be(3, 4))}) {
        auto stbl = read_atom(atom("stbl", stsd + full_atom("stts", be(0, 4))));
        auto* parent = dynamic_cast<AP4_ContainerAtom*>(stbl.get());
        ASSERT_NE(parent, nullptr);
        EXPECT_NE(dynamic_cast<AP4_UnknownAtom*>(parent->GetChild(AP4_ATOM_TYPE('s', 't', 's', 'd'))), nullptr);
        EXPECT_NE(dynamic_cast<AP4_SttsAtom*>(parent->GetChild(AP4_ATOM_TYPE('s', 't', 't', 's'))), nullptr);
    }
}

TEST(Ap4Atoms, NestingIsBounded)
{
    Bytes nested = atom("free", {});
    for (int i = 0; i < 5000; ++i) nested = atom("udta", nested);
    auto top = read_atom(nested);
    ASSERT_NE(top, nullptr);
    int depth = 0;
    for (auto* a = dynamic_cast<AP4_ContainerAtom*>(top.get()); a && !a->GetChildren().empty();
         a = dynamic_cast<AP4_ContainerAtom*>(a->GetChildren().front().get()))
        ++depth;
    EXPECT_LT(depth, static_cast<int>(AP4_DefaultAtomFactory::max_depth));
}

TEST(Ap4Atoms, CountsBeyondTheirAtomLeaveTheTrackWithoutSamples)
{
    const Bytes huge = be(0xFFFFFFFF, 4);
    const struct {
        const char* name;
        Bytes tables;
    } cases[] = {
        {"stts", full_atom("stts", huge + be(1, 4) + be(1, 4))},
        {"stsc", full_atom("stsc", huge + be(1, 4) + be(1, 4) + be(1, 4))},
        {"stsz", full_atom("stsz", be(0, 4) + huge + be(100, 4))},
        {"stco", full_atom("stco", huge + be(0, 4))},
        {"co64", full_atom("co64", huge + be(0, 8))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The damaged table comes first, so the file's good one of that type is never found.
        OpenFile f(movie(c.tables + sample_tables(c.name == std::string("co64") ? "co64" : "stco")));
        ASSERT_NE(f.file.GetMovie(), nullptr);
        ASSERT_EQ(f.file.GetMovie()->GetTracks().size(), 1u);
        EXPECT_EQ(f.file.GetMovie()->GetTracks()[0]->GetSampleCount(), 0u);
    }
    for (const char* offsets : {"stco", "co64"}) {
        OpenFile whole(movie(sample_tables(offsets)));
        EXPECT_EQ(whole.file.GetMovie()->GetTracks()[0]->GetSampleCount(), 10u);
    }
}

TEST(Ap4Atoms, OneSizeForAllSamplesCannotClaimMoreThanTheFileHolds)
{
    const Bytes tables = full_atom("stts", be(1, 4) + be(0xFFFFFFFF, 4) + be(1, 4)) +
                         full_atom("stsc", be(1, 4) + be(1, 4) + be(0xFFFFFFFF, 4) + be(1, 4)) +
                         full_atom("stsz", be(1, 4) + be(0xFFFFFFFF, 4)) + full_atom("stco", be(1, 4) + be(0, 4));
    const Bytes file = movie(tables);
    OpenFile f(file);
    EXPECT_LE(f.file.GetMovie()->GetTracks()[0]->GetSampleCount(), file.size());
}

TEST(Ap4Atoms, CompressedHeaders)
{
    const Bytes inner = atom("moov", full_atom("mvhd", be(0, 8) + be(600, 4) + be(0, 4)) + atom("trak", {}) + atom("free", Bytes(3000)));
    const Bytes packed = deflated(inner);
    // Loose atoms, the last one incompressible: cut halfway, the ones before it are whole.
    std::mt19937 random(7);
    Bytes noise(3000);
    for (auto& b : noise) b = static_cast<AP4_UI08>(random());
    const Bytes loose = full_atom("mvhd", be(0, 8) + be(600, 4) + be(0, 4)) + atom("trak", {}) + atom("free", noise);
    const Bytes loose_packed = deflated(loose);
    const Bytes zeros = deflated(Bytes(100u << 20));
    const struct {
        const char* name;
        Bytes cmvd;
        bool tracks;
    } cases[] = {
        {"whole", be(inner.size(), 4) + packed, true},
        {"stated size too small", be(inner.size() - 1, 4) + packed, false},
        {"stated size larger", be(inner.size() + 100, 4) + packed, true},
        {"cut short keeps what inflated", be(loose.size(), 4) + Bytes(loose_packed.begin(), loose_packed.begin() + 1500), true},
        {"cut movie atom does not fit", be(inner.size(), 4) + Bytes(packed.begin(), packed.begin() + 40), false},
        {"damaged", be(inner.size(), 4) + Bytes(packed.size(), 0xAA), false},
        {"bomb past the cap", be(0xFFFFFFFF, 4) + zeros, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = std::chrono::steady_clock::now();
        auto moov = read_atom(atom("moov", atom("cmov", atom("dcom", text("zlib")) + atom("cmvd", c.cmvd))));
        auto* m = dynamic_cast<AP4_MoovAtom*>(moov.get());
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(!m->GetTrakAtoms().empty(), c.tracks);
        EXPECT_EQ(m->GetChild(AP4_ATOM_TYPE('m', 'o', 'o', 'v')), nullptr);
        // Catches a bomb inflated in full or a reader that never ends, not speed:
        // a loaded machine under the sanitizers takes seconds for the capped read.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    }
}

TEST(Ap4Atoms, DamagedFilesReadWithoutHarm)
{
    const Bytes whole = read_file(test_media("h264-aac.mp4"));
    ASSERT_FALSE(whole.empty());
    std::vector<Bytes> copies;
    for (int eighth = 1; eighth < 8; ++eighth) copies.emplace_back(whole.begin(), whole.begin() + static_cast<long>(whole.size() * eighth / 8));
    // The moov is last: flip bytes all through it, sizes and counts among them.
    for (std::size_t at = whole.size() - 4000; at < whole.size(); at += 7) {
        Bytes b = whole;
        b[at] ^= 0xFF;
        copies.push_back(b);
    }
    std::mt19937 random(20261211);
    for (int i = 0; i < 300; ++i) {
        Bytes b = whole;
        for (int k = 0; k < 4; ++k) b[whole.size() - 1 - random() % 4000] = static_cast<AP4_UI08>(random());
        copies.push_back(b);
    }
    for (const Bytes& bytes : copies) {
        OpenFile f(bytes);
        if (!f.file.GetMovie()) continue;
        for (const auto& track : f.file.GetMovie()->GetTracks()) {
            AP4_DataBuffer data;
            AP4_Sample s;
            for (AP4_Ordinal i = 0; i < track->GetSampleCount(); ++i) track->ReadSample(i, s, data);
            AP4_Ordinal index = 0;
            track->GetSampleIndexForTimeStampMs(1000, index);
            track->GetSampleDescription(0);
        }
    }
}
