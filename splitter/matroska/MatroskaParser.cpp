#include "splitter/matroska/MatroskaParser.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/dshow/MediaFormats.h"
#include "splitter/base/BaseSplitterFilter.h"
#include "splitter/matroska/ElementIds.h"
#include "splitter/matroska/ElementNode.h"
#include "splitter/matroska/MatroskaFile.h"
#include "splitter/matroska/MatroskaMediaTypes.h"
#include "splitter/matroska/MatroskaPacket.h"
#include "splitter/matroska/MatroskaSplitterOutputPin.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

using namespace MatroskaReader;

namespace {

constexpr DWORD exit_request = 0;                     // the filter's request to end its thread
constexpr REFERENCE_TIME seek_look_ahead = 5000000;   // half a second past the target ends a Cluster's walk
constexpr std::size_t max_pin_name = 261;

ULONGLONG cluster_timecode(CElementNode& cluster)
{
    CUInt timecode;
    if (std::unique_ptr<CElementNode> field = cluster.FirstChild(Id::Timecode, true)) timecode.Parse(field.get());
    return *timecode;
}

// A Block or SimpleBlock as a BlockGroup; a SimpleBlock without its key-frame
// bit refers to another block. Null when the block cannot be read.
std::unique_ptr<BlockGroup> read_block(CElementNode& node, bool full)
{
    auto group = std::make_unique<BlockGroup>();
    if (*node.m_id == Id::BlockGroup) return SUCCEEDED(group->Parse(&node, full)) ? std::move(group) : nullptr;
    if (FAILED(group->b.Parse(&node, full))) return nullptr;
    if (!(*group->b.Lacing & 0x80)) group->ReferenceBlock.Set(0);
    return group;
}

}

CMatroskaParser::CMatroskaParser(CBaseSplitterFilter* filter) : CBaseParser(filter) {}

CMatroskaParser::~CMatroskaParser() { CloseFile(); }

REFERENCE_TIME CMatroskaParser::ToRefTime(LONGLONG t) const
{
    const __int128 scaled = static_cast<__int128>(t) * *m_pFile->m_segment.SegmentInfo.TimecodeScale / 100;
    return static_cast<REFERENCE_TIME>(std::clamp<__int128>(scaled, std::numeric_limits<REFERENCE_TIME>::min() / 2,
                                                            std::numeric_limits<REFERENCE_TIME>::max() / 2));
}

bool CMatroskaParser::RequestPending() const { return m_pFilter->CheckRequest(); }

HRESULT CMatroskaParser::Open(IAsyncReader* reader)
{
    if (!reader) return E_POINTER;
    CloseFile();
    HRESULT hr = S_OK;
    auto file = std::unique_ptr<CMatroskaFile>(new (std::nothrow) CMatroskaFile(reader, hr));
    if (!file) return E_OUTOFMEMORY;
    if (FAILED(hr)) return hr;
    m_pFile = std::move(file);
    int videos = 0, audios = 0, subtitles = 0;
    bool any = false;
    for (auto& tracks : m_pFile->m_segment.Tracks)
        for (auto& track : tracks->te) {
            if (!m_pFile->DecodeContent(*track, track->CodecPrivate.Bytes(), ContentEncoding::TracksPrivateData))
                continue;
            int number = 0;
            switch (*track->TrackType) {
            case TrackEntry::TypeVideo: number = ++videos; break;
            case TrackEntry::TypeAudio: number = ++audios; break;
            case TrackEntry::TypeSubtitle: number = ++subtitles; break;
            default: break;
            }
            any |= AddTrackPin(*track, number);
        }
    if (m_pFile->IsRandomAccess())
        m_rtDuration = WholeOf<REFERENCE_TIME>(*m_pFile->m_segment.SegmentInfo.Duration *
                                               static_cast<double>(*m_pFile->m_segment.SegmentInfo.TimecodeScale) / 100.0);
    return any ? S_OK : E_FAIL;
}

bool CMatroskaParser::AddTrackPin(TrackEntry& track, int kind_number)
{
    const auto number = static_cast<DWORD>(*track.TrackNumber);
    if (m_pTrackEntryMap.contains(number)) return false;   // a second track of one number could not be told apart
    std::vector<CMediaType> types = MatroskaTrackTypes(track);
    if (types.empty()) return false;
    std::string name = "Output " + std::to_string(*track.TrackNumber);
    switch (*track.TrackType) {
    case TrackEntry::TypeVideo: name = "Video " + std::to_string(kind_number); break;
    case TrackEntry::TypeAudio: name = "Audio " + std::to_string(kind_number); break;
    case TrackEntry::TypeSubtitle: name = "Subtitle " + std::to_string(kind_number); break;
    default: break;
    }
    std::u16string pin_name = (*track.Name).empty() ? plat::utf8_to_utf16(name) : *track.Name;
    pin_name.resize(std::min(pin_name.size(), max_pin_name));
    HRESULT hr = S_OK;
    auto pin = std::make_unique<CMatroskaSplitterOutputPin>(
        static_cast<int>(*track.MinCache), static_cast<REFERENCE_TIME>(*track.DefaultDuration / 100), std::move(types),
        pin_name.c_str(), m_pFilter, m_pFilter->FilterLock(), &hr);
    if (FAILED(hr) || FAILED(m_pFilter->AddOutputPin(number, std::move(pin)))) return false;
    m_pTrackEntryMap[number] = &track;
    m_pOrderedTrackArray.push_back(&track);
    return true;
}

bool CMatroskaParser::DemuxInit()
{
    if (!m_pFile) return false;
    m_pRoot = CElementNode::Root(m_pFile.get());
    m_pSegment = m_pRoot->FirstChild(Id::Segment, true);
    m_pCluster = m_pSegment ? m_pSegment->FirstChild(Id::Cluster, true) : nullptr;
    if (!m_pCluster) return false;
    if (m_pFile->IsRandomAccess() && m_pFile->m_segment.Cues.empty()) IndexClusters();
    m_pCluster.reset();
    m_pBlock.reset();
    return true;
}

void CMatroskaParser::IndexClusters()
{
    const ULONGLONG master = m_pFile->MasterTrack();
    auto cues = std::make_unique<Cue>();
    m_bIndexingStopped = false;
    do {
        auto point = std::make_unique<CuePoint>();
        point->CueTime.Set(cluster_timecode(*m_pCluster));
        auto position = std::make_unique<CueTrackPosition>();
        position->CueTrack.Set(master);
        position->CueClusterPosition.Set(static_cast<ULONGLONG>(m_pCluster->m_filepos - m_pFile->m_segment.pos));
        point->CueTrackPositions.push_back(std::move(position));
        cues->CuePoints.push_back(std::move(point));
        DWORD request = 0;
        if (m_pFilter->CAMThread::CheckRequest(&request)) {
            // Only the end of the thread stops the scan; a seek's new start is read once it is done.
            if (request == exit_request) {
                m_bIndexingStopped = true;
                break;
            }
            m_pFilter->GetRequest();
            m_pFilter->Reply(0);
        }
    } while (m_pCluster->Next(true));
    if (!m_bIndexingStopped) m_pFile->m_segment.Cues.push_back(std::move(cues));
}

bool CMatroskaParser::DemuxSeek(REFERENCE_TIME start)
{
    m_pBlock.reset();
    m_pCluster = m_pSegment ? m_pSegment->FirstChild(Id::Cluster, true) : nullptr;
    if (start <= 0 || !m_pCluster) return true;
    const REFERENCE_TIME target = start + m_pFile->m_rtOffset;
    const ULONGLONG master = m_pFile->MasterTrack();
    ULONGLONG last_position = std::numeric_limits<ULONGLONG>::max();
    for (const auto& cues : m_pFile->m_segment.Cues)
        for (auto point = cues->CuePoints.rbegin(); point != cues->CuePoints.rend(); ++point) {
            if (ToRefTime(static_cast<LONGLONG>(*(*point)->CueTime)) > target) continue;
            for (const auto& position : (*point)->CueTrackPositions) {
                if (*position->CueTrack != master || *position->CueClusterPosition == last_position) continue;
                last_position = *position->CueClusterPosition;
                if (last_position > static_cast<ULONGLONG>(INT64_MAX / 2)) continue;
                m_pFile->Seek(m_pFile->m_segment.pos + static_cast<LONGLONG>(last_position));
                if (FAILED(m_pCluster->ReadHeader()) || *m_pCluster->m_id != Id::Cluster) continue;
                if (SeekInCluster(target, master)) return true;
            }
        }
    m_pCluster = m_pSegment->FirstChild(Id::Cluster, true);
    return true;
}

bool CMatroskaParser::SeekInCluster(REFERENCE_TIME target, ULONGLONG master)
{
    const auto cluster_time = static_cast<LONGLONG>(cluster_timecode(*m_pCluster));
    std::unique_ptr<CElementNode> block = m_pCluster->FirstBlock();
    bool found = false;
    for (bool more = block != nullptr; more; more = block->NextBlock()) {
        std::unique_ptr<BlockGroup> group = read_block(*block, false);
        if (!group) continue;
        const REFERENCE_TIME at = ToRefTime(cluster_time + *group->b.TimeCode);
        const bool on_master = *group->b.TrackNumber == master;
        if ((on_master && at > target) || at > target + seek_look_ahead) break;
        if (on_master && !group->ReferenceBlock.IsSet()) {
            m_pBlock = block->Copy();
            found = true;
        }
    }
    return found;
}

HRESULT CMatroskaParser::SendVorbisHeaders()
{
    HRESULT hr = S_OK;
    for (const auto& [number, track] : m_pTrackEntryMap) {
        CBaseSplitterOutputPin* pin = m_pFilter->GetOutputPin(number);
        if (!pin || !pin->IsConnected() || pin->CurrentMediaType().subtype != MEDIASUBTYPE_Vorbis2 ||
            track->Codec() != "A_VORBIS" || track->CodecPrivate.Bytes().empty())
            continue;
        std::vector<std::vector<BYTE>> packets;
        if (!SplitXiphLaced(track->CodecPrivate.Bytes(), packets)) continue;
        for (auto& bytes : packets) {
            auto p = std::make_unique<Packet>();
            p->TrackNumber = number;
            p->rtStart = 0;
            p->rtStop = 1;
            p->data = std::move(bytes);
            if (FAILED(hr = m_pFilter->DeliverPacket(std::move(p)))) return hr;
        }
    }
    return hr;
}

HRESULT CMatroskaParser::DeliverBlockGroup(std::unique_ptr<BlockGroup> group, ULONGLONG cluster_time)
{
    const auto number = static_cast<DWORD>(*group->b.TrackNumber);
    auto it = m_pTrackEntryMap.find(number);
    if (it == m_pTrackEntryMap.end()) return S_OK;
    const TrackEntry& track = *it->second;
    auto p = std::make_unique<MatroskaPacket>();
    p->TrackNumber = number;
    p->bSyncPoint = !group->ReferenceBlock.IsSet();
    p->rtStart = ToRefTime(static_cast<LONGLONG>(cluster_time) + *group->b.TimeCode);
    p->rtStop = group->BlockDuration.IsSet()
                    ? p->rtStart + ToRefTime(static_cast<LONGLONG>(*group->BlockDuration))
                    : p->rtStart + 1;
    if (*track.TrackType == TrackEntry::TypeSubtitle && !group->BlockDuration.IsSet()) {
        group->BlockDuration.Set(1);
        p->rtStop = p->rtStart;
    }
    for (auto& frame : group->b.BlockData)
        if (!m_pFile->DecodeContent(track, frame, ContentEncoding::AllFrameContents)) {
            // Still compressed or damaged: a decoder could only fail on it.
            plat::debug_log("Splitter: a Matroska block could not be decoded and was skipped");
            return S_OK;
        }
    p->rtStart -= m_pFile->m_rtOffset;
    p->rtStop -= m_pFile->m_rtOffset;
    p->bg = std::move(group);
    return m_pFilter->DeliverPacket(std::move(p));
}

int CMatroskaParser::DemuxLoop()
{
    SendVorbisHeaders();
    if (!m_pCluster) return 1;
    HRESULT hr = S_OK;
    do {
        const ULONGLONG cluster_time = cluster_timecode(*m_pCluster);
        if (!m_pBlock) m_pBlock = m_pCluster->FirstBlock();
        for (bool more = m_pBlock != nullptr; more;) {
            if (std::unique_ptr<BlockGroup> group = read_block(*m_pBlock, true))
                hr = DeliverBlockGroup(std::move(group), cluster_time);
            more = SUCCEEDED(hr) && !RequestPending() && m_pBlock->NextBlock();
        }
        m_pBlock.reset();
    } while (SUCCEEDED(hr) && m_pFile->GetPos() < m_pSegment->Limit() && !RequestPending() && m_pCluster->Next(true));
    m_pCluster.reset();
    return 1;
}

void CMatroskaParser::CloseFile()
{
    m_pBlock.reset();
    m_pCluster.reset();
    m_pSegment.reset();
    m_pRoot.reset();
    m_pTrackEntryMap.clear();
    m_pOrderedTrackArray.clear();
    m_strings.clear();
    m_pFile.reset();
}

bool CMatroskaParser::SetCacheSize(int size) { return m_pFile && m_pFile->SetCacheSize(size); }

UINT CMatroskaParser::TrackCount() { return static_cast<UINT>(m_pTrackEntryMap.size()); }

BOOL CMatroskaParser::TrackInfo(UINT index, TrackElement* record)
{
    if (index >= m_pOrderedTrackArray.size() || !record) return FALSE;
    const TrackEntry& t = *m_pOrderedTrackArray[index];
    record->Type = static_cast<BYTE>(*t.TrackType);
    record->FlagDefault = *t.FlagDefault != 0;
    record->FlagLacing = *t.FlagLacing != 0;
    record->MinCache = static_cast<UINT>(*t.MinCache);
    record->MaxCache = static_cast<UINT>(*t.MaxCache);
    const std::string language = (*t.Language).empty() ? "eng" : (*t.Language).substr(0, 3);
    std::memset(record->Language, 0, sizeof record->Language);
    std::memcpy(record->Language, language.data(), language.size());
    return TRUE;
}

BOOL CMatroskaParser::TrackExtendedInfo(UINT index, void* record)
{
    if (index >= m_pOrderedTrackArray.size() || !record) return FALSE;
    const TrackEntry& t = *m_pOrderedTrackArray[index];
    if (*t.TrackType == TrackEntry::TypeVideo) {
        auto* v = static_cast<TrackExtendedInfoVideo*>(record);
        v->Interlaced = *t.v.FlagInterlaced != 0;
        v->PixelWidth = static_cast<UINT>(*t.v.PixelWidth);
        v->PixelHeight = static_cast<UINT>(*t.v.PixelHeight);
        v->DisplayWidth = static_cast<UINT>(*t.v.DisplayWidth);
        v->DisplayHeight = static_cast<UINT>(*t.v.DisplayHeight);
        v->DisplayUnit = static_cast<BYTE>(*t.v.DisplayUnit);
        v->AspectRatioType = static_cast<BYTE>(*t.v.AspectRatioType);
        return TRUE;
    }
    if (*t.TrackType == TrackEntry::TypeAudio) {
        auto* a = static_cast<TrackExtendedInfoAudio*>(record);
        a->SamplingFreq = static_cast<float>(*t.a.SamplingFrequency);
        a->OutputSamplingFrequency = static_cast<float>(*t.a.OutputSamplingFrequency);
        a->Channels = static_cast<UINT>(*t.a.Channels);
        a->BitDepth = static_cast<UINT>(*t.a.BitDepth);
        return TRUE;
    }
    return FALSE;
}

const WCHAR* CMatroskaParser::Kept(std::u16string text)
{
    m_strings.push_back(std::make_unique<std::u16string>(std::move(text)));
    return m_strings.back()->c_str();
}

const WCHAR* CMatroskaParser::TrackCodecId(UINT index)
{
    return index < m_pOrderedTrackArray.size() ? Kept(plat::utf8_to_utf16(m_pOrderedTrackArray[index]->Codec()))
                                               : nullptr;
}

const WCHAR* CMatroskaParser::TrackName(UINT index)
{
    return index < m_pOrderedTrackArray.size() ? Kept(*m_pOrderedTrackArray[index]->Name) : nullptr;
}

const WCHAR* CMatroskaParser::TrackCodecName(UINT index)
{
    return index < m_pOrderedTrackArray.size() ? Kept(*m_pOrderedTrackArray[index]->CodecName) : nullptr;
}

const WCHAR* CMatroskaParser::TrackCodecInfoUrl(UINT index)
{
    return index < m_pOrderedTrackArray.size() ? Kept(plat::utf8_to_utf16(*m_pOrderedTrackArray[index]->CodecInfoURL))
                                               : nullptr;
}

const WCHAR* CMatroskaParser::TrackCodecDownloadUrl(UINT index)
{
    return index < m_pOrderedTrackArray.size()
               ? Kept(plat::utf8_to_utf16(*m_pOrderedTrackArray[index]->CodecDownloadURL))
               : nullptr;
}
