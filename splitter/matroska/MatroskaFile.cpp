#include "splitter/matroska/MatroskaFile.h"

#include "splitter/matroska/ElementIds.h"
#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/ZlibInflate.h"

#include <algorithm>

namespace MatroskaReader {

namespace {

constexpr int counted_elements = 3;   // Info, Tracks and SeekHead are looked for by walking
constexpr ULONGLONG max_read_version = 2;
enum { AlgoZlib = 0, AlgoHeaderStripping = 3 };

}

CMatroskaFile::CMatroskaFile(IAsyncReader* reader, HRESULT& result)
    : CBaseSplitterFile(reader, result, default_cache, RandomAccess::NotRequired, Streaming::No)
{
    if (SUCCEEDED(result)) result = Init();
}

LONGLONG CMatroskaFile::Extent() { return std::max(GetLength(), GetAvailable()); }

HRESULT CMatroskaFile::ReadBE(ULONGLONG& value, int bytes)
{
    BYTE buffer[8];
    if (bytes < 0 || bytes > 8) return E_INVALIDARG;
    if (bytes > 0 && Read(buffer, bytes) != S_OK) return E_FAIL;
    value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | buffer[i];
    return S_OK;
}

HRESULT CMatroskaFile::Init()
{
    Seek(0);
    ULONGLONG magic = 0;
    if (FAILED(ReadBE(magic, 4)) || magic != Id::EBML) return E_FAIL;
    std::unique_ptr<CElementNode> root = CElementNode::Root(this);
    std::unique_ptr<CElementNode> child = root->FirstChild();
    for (bool more = child != nullptr; more; more = child->Next()) {
        if (*child->m_id == Id::Segment && !m_segment_uid_read) {
            HRESULT hr = ParseSegment(child.get());
            if (hr == E_OUTOFMEMORY) return hr;
        } else if (*child->m_id == Id::EBML) {
            m_ebml.Parse(child.get());
            if (*m_ebml.DocType != "matroska" || *m_ebml.DocTypeReadVersion > max_read_version) return E_FAIL;
        }
    }
    std::unique_ptr<CElementNode> segment = root->FirstChild(Id::Segment, true);
    std::unique_ptr<CElementNode> cluster = segment ? segment->FirstChild(Id::Cluster, true) : nullptr;
    if (cluster) {
        std::unique_ptr<CElementNode> field = cluster->FirstChild(Id::Timecode, true);
        CUInt timecode;
        if (field && SUCCEEDED(timecode.Parse(field.get())))
            m_rtOffset = static_cast<REFERENCE_TIME>(*timecode * *m_segment.SegmentInfo.TimecodeScale / 100);
    }
    return S_OK;
}

HRESULT CMatroskaFile::ParseSegment(CElementNode* node)
{
    m_segment.pos = node->m_datapos;
    m_segment.len = static_cast<LONGLONG>(*node->m_len);
    std::unique_ptr<CElementNode> child = node->FirstChild();
    if (!child) return S_OK;
    int counted = 0;
    do {
        HRESULT hr = S_OK;
        switch (*child->m_id) {
        case Id::Info:
            hr = m_segment.SegmentInfo.Parse(child.get());
            ++counted;
            break;
        case Id::Tracks: {
            auto tracks = std::make_unique<Track>();
            if (SUCCEEDED(hr = tracks->Parse(child.get()))) m_segment.Tracks.push_back(std::move(tracks));
            ++counted;
            break;
        }
        case Id::SeekHead: {
            auto index = std::make_unique<SeekHead>();
            if (SUCCEEDED(hr = index->Parse(child.get()))) m_segment.MetaSeekInfo.push_back(std::move(index));
            ++counted;
            break;
        }
        case Id::Cues: {
            auto cues = std::make_unique<Cue>();
            if (SUCCEEDED(hr = cues->Parse(child.get()))) m_segment.Cues.push_back(std::move(cues));
            break;
        }
        default: break;
        }
        if (hr == E_OUTOFMEMORY) return hr;
    } while (counted < counted_elements && child->Next());
    if (!m_segment.SegmentInfo.SegmentUID.Bytes().empty()) m_segment_uid_read = true;
    if (IsRandomAccess())
        ReadIndexedElements(node, child.get(), !m_segment.Cues.empty(), !m_segment.Chapters.empty(),
                            !m_segment.Attachments.empty());
    return S_OK;
}

void CMatroskaFile::ReadIndexedElements(CElementNode* segment, CElementNode* stopped_at, bool have_cues,
                                        bool have_chapters, bool have_attachments)
{
    // Further seek indexes (one at the end of the file, say) are chained from the first.
    LONGLONG minimum = stopped_at->m_filepos;
    while (LONGLONG position = SeekPositionOf(Id::SeekHead, minimum)) {
        CElementNode index(segment, this);
        Seek(position);
        if (FAILED(index.ReadHeader()) || *index.m_id != Id::SeekHead) break;
        auto record = std::make_unique<SeekHead>();
        if (SUCCEEDED(record->Parse(&index))) m_segment.MetaSeekInfo.push_back(std::move(record));
        minimum = std::max(index.End(), position + 1);
    }
    if (!have_cues) {
        if (std::unique_ptr<CElementNode> cues = segment->FirstChild(Id::Cues, false)) {
            do {
                auto record = std::make_unique<Cue>();
                if (SUCCEEDED(record->Parse(cues.get()))) m_segment.Cues.push_back(std::move(record));
            } while (cues->Next(true));
        }
    }
    if (!have_chapters) {
        if (std::unique_ptr<CElementNode> chapters = segment->FirstChild(Id::Chapters, false)) {
            auto record = std::make_unique<Chapter>();
            if (SUCCEEDED(record->Parse(chapters.get()))) m_segment.Chapters.push_back(std::move(record));
        }
    }
    if (!have_attachments) {
        if (std::unique_ptr<CElementNode> files = segment->FirstChild(Id::Attachments, false)) {
            auto record = std::make_unique<Attachment>();
            if (SUCCEEDED(record->Parse(files.get()))) m_segment.Attachments.push_back(std::move(record));
        }
    }
}

ULONGLONG CMatroskaFile::MasterTrack() const
{
    for (ULONGLONG type : {ULONGLONG{TrackEntry::TypeVideo}, ULONGLONG{TrackEntry::TypeAudio}})
        for (const auto& tracks : m_segment.Tracks)
            for (const auto& entry : tracks->te)
                if (*entry->TrackType == type) return *entry->TrackNumber;
    return 1;
}

ChapterAtom* CMatroskaFile::FindChapterAtom(ULONGLONG id, int edition)
{
    int index = 0;
    for (auto& chapters : m_segment.Chapters)
        for (auto& entry : chapters->EditionEntries) {
            if (index++ != edition) continue;
            if (id == 0) return entry.get();
            for (auto& atom : entry->ChapterAtoms)
                if (ChapterAtom* found = atom->FindChapterAtom(id)) return found;
            return nullptr;
        }
    return nullptr;
}

LONGLONG CMatroskaFile::SeekPositionOf(DWORD id, LONGLONG minimum) const
{
    for (const auto& index : m_segment.MetaSeekInfo)
        for (const auto& seek : index->SeekList) {
            if (*seek.get()->SeekID != id || *seek->SeekPosition > static_cast<ULONGLONG>(INT64_MAX / 2)) continue;
            const LONGLONG position = static_cast<LONGLONG>(*seek->SeekPosition) + m_segment.pos;
            if (position >= minimum) return position;
        }
    return 0;
}

bool CMatroskaFile::DecodeContent(const TrackEntry& track, std::vector<BYTE>& data, ULONGLONG scope) const
{
    std::vector<const ContentEncoding*> encodings;
    for (const auto& e : track.ces.ce) encodings.push_back(e.get());
    std::stable_sort(encodings.begin(), encodings.end(), [](const ContentEncoding* a, const ContentEncoding* b) {
        return static_cast<DWORD>(*a->ContentEncodingOrder) < static_cast<DWORD>(*b->ContentEncodingOrder);
    });
    // Applied in reverse of the order they were written in.
    for (auto it = encodings.rbegin(); it != encodings.rend(); ++it) {
        const ContentEncoding& e = **it;
        // Nothing here can decrypt: an encrypted track is refused whatever the scope says.
        if (*e.ContentEncodingType == ContentEncoding::Encryption) return false;
        if (!(*e.ContentEncodingScope & scope) || *e.ContentEncodingType != ContentEncoding::Compression) continue;
        switch (*e.cc.ContentCompAlgo) {
        case AlgoZlib:
            if (!inflate_zlib(data, data)) return false;
            break;
        case AlgoHeaderStripping: {
            const std::vector<BYTE>& header = e.cc.ContentCompSettings.Bytes();
            data.insert(data.begin(), header.begin(), header.end());
            break;
        }
        default: return false;
        }
    }
    return true;
}

}
