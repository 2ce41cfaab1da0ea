#pragma once
// MatroskaReader::CMatroskaFile: a Matroska (EBML) file. It checks the EBML
// header, reads the metadata of the first Segment into an element tree
// (Info, Tracks, SeekHead, then Cues, Chapters and Attachments through the
// seek index), and finds the start time of the first Cluster. Tags and
// attached-file data are never read; encrypted content is refused and only
// zlib compression is decoded.

#include "splitter/base/BaseSplitterFile.h"
#include "splitter/matroska/MatroskaRecords.h"

#include <vector>

namespace MatroskaReader {

class CMatroskaFile : public CBaseSplitterFile {
public:
    CMatroskaFile(IAsyncReader* reader, HRESULT& result);

    // The first video track's number, else the first audio track's, else 1.
    ULONGLONG MasterTrack() const;
    // The edition at this index (UID 0) or the atom with that UID inside it.
    ChapterAtom* FindChapterAtom(ULONGLONG id, int edition = 0);
    // The absolute position of the first indexed element with this id at or
    // after minimum; 0 when the seek index names none.
    LONGLONG SeekPositionOf(DWORD id, LONGLONG minimum = 0) const;
    // Undoes the track's content encodings of this scope (1 frames, 2 private
    // data) in place; false when the data may not be used.
    bool DecodeContent(const TrackEntry& track, std::vector<BYTE>& data, ULONGLONG scope) const;

    // The furthest a payload may reach: the stream's length, or what has
    // arrived when that is more (a growing file).
    LONGLONG Extent();
    // Reads a big-endian number of the given width at the current position.
    HRESULT ReadBE(ULONGLONG& value, int bytes);

    EBMLHeader m_ebml;
    Segment m_segment;
    REFERENCE_TIME m_rtOffset{0};   // the first Cluster's start, in 100 ns

private:
    HRESULT Init();
    HRESULT ParseSegment(CElementNode* node);
    void ReadIndexedElements(CElementNode* segment, CElementNode* stopped_at, bool have_cues, bool have_chapters,
                             bool have_attachments);

    bool m_segment_uid_read{false};
};

}
