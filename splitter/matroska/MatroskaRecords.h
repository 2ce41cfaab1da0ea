#pragma once
// The records of the Matroska element tree, as read by CMatroskaFile. Lists
// own their records in file order; every reader returns 1 for an element
// without children, 0 after reading its children, E_POINTER without a node.

#include "splitter/matroska/MatroskaValues.h"

#include <memory>
#include <vector>

namespace MatroskaReader {

template <class T>
using CNode = std::vector<std::unique_ptr<T>>;

struct EBMLHeader {
    CUInt EBMLVersion, EBMLReadVersion, EBMLMaxIDLength, EBMLMaxSizeLength;
    CANSI DocType;
    CUInt DocTypeVersion, DocTypeReadVersion;
    HRESULT Parse(CElementNode* node);
};

struct Info {
    CBinary SegmentUID, PrevUID, NextUID;
    CUTF8 SegmentFilename, PrevFilename, NextFilename;
    CUInt TimecodeScale{1000000};
    CFloat Duration;
    CInt DateUTC;
    CUTF8 Title, MuxingApp, WritingApp;
    HRESULT Parse(CElementNode* node);
};

struct Seek {
    CID SeekID;
    CUInt SeekPosition;
    HRESULT Parse(CElementNode* node);
};

struct SeekHead {
    CNode<Seek> SeekList;
    HRESULT Parse(CElementNode* node);
};

struct Video {
    CUInt FlagInterlaced, StereoMode, PixelWidth, PixelHeight, DisplayWidth, DisplayHeight, DisplayUnit,
        AspectRatioType, ColourSpace;
    CFloat GammaValue, FramePerSec;
    HRESULT Parse(CElementNode* node);
};

struct Audio {
    CFloat SamplingFrequency{8000.0};
    CFloat OutputSamplingFrequency;
    CUInt Channels{1};
    CBinary ChannelPositions;
    CUInt BitDepth;
    HRESULT Parse(CElementNode* node);
};

struct ContentCompression {
    CUInt ContentCompAlgo{0};
    CBinary ContentCompSettings;
    HRESULT Parse(CElementNode* node);
};

struct ContentEncryption {
    CUInt ContentEncAlgo{0};
    CBinary ContentEncKeyID, ContentSignature, ContentSigKeyID;
    CUInt ContentSigAlgo{0}, ContentSigHashAlgo{0};
    HRESULT Parse(CElementNode* node);
};

struct ContentEncoding {
    enum { Compression = 0, Encryption = 1 };
    enum { AllFrameContents = 1, TracksPrivateData = 2 };
    CUInt ContentEncodingOrder{0};
    CUInt ContentEncodingScope{AllFrameContents};
    CUInt ContentEncodingType{Compression};
    ContentCompression cc;
    ContentEncryption ce;
    HRESULT Parse(CElementNode* node);
};

struct ContentEncodings {
    CNode<ContentEncoding> ce;
    HRESULT Parse(CElementNode* node);
};

struct TrackEntry {
    enum { TypeVideo = 1, TypeAudio = 2, TypeComplex = 3, TypeLogo = 0x10, TypeSubtitle = 0x11, TypeControl = 0x20 };
    CUInt TrackNumber, TrackUID, TrackType;
    CUInt FlagEnabled{1}, FlagDefault{1}, FlagLacing{1};
    CUInt MinCache, MaxCache;
    CUTF8 Name;
    CANSI Language;
    CBinary CodecID;
    CBinary CodecPrivate;
    CUTF8 CodecName, CodecSettings;
    CANSI CodecInfoURL, CodecDownloadURL;
    CUInt CodecDecodeAll, TrackOverlay, DefaultDuration;
    CFloat TrackTimecodeScale;
    bool DescType_Video{false}, DescType_Audio{false};
    struct Video v;
    struct Audio a;
    ContentEncodings ces;
    HRESULT Parse(CElementNode* node);
    // The CodecID as text.
    std::string Codec() const { return std::string(CodecID.Bytes().begin(), CodecID.Bytes().end()); }
};

struct Track {
    CNode<TrackEntry> te;
    HRESULT Parse(CElementNode* node);
};

struct CueReference {
    CUInt CueRefTime, CueRefCluster, CueRefNumber, CueRefCodecState;
    HRESULT Parse(CElementNode* node);
};

struct CueTrackPosition {
    CUInt CueTrack, CueClusterPosition, CueBlockNumber, CueCodecState;
    CNode<CueReference> CueReferences;
    HRESULT Parse(CElementNode* node);
};

struct CuePoint {
    CUInt CueTime;
    CNode<CueTrackPosition> CueTrackPositions;
    HRESULT Parse(CElementNode* node);
};

struct Cue {
    CNode<CuePoint> CuePoints;
    HRESULT Parse(CElementNode* node);
};

struct AttachedFile {
    CUTF8 FileDescription, FileName;
    CANSI FileMimeType;
    LONGLONG FileDataPos{0}, FileDataLen{0};   // the data is never read
    CUInt FileUID;
    HRESULT Parse(CElementNode* node);
};

struct Attachment {
    CNode<AttachedFile> AttachedFiles;
    HRESULT Parse(CElementNode* node);
};

struct ChapterDisplay {
    CUTF8 ChapString;
    CANSI ChapLanguage{"eng"};
    CANSI ChapCountry;
    HRESULT Parse(CElementNode* node);
};

struct ChapterAtom {
    ChapterAtom();
    CUInt ChapterUID;
    CUInt ChapterTimeStart, ChapterTimeEnd, ChapterFlagHidden{0}, ChapterFlagEnabled{1};
    CNode<ChapterDisplay> ChapterDisplays;
    CNode<ChapterAtom> ChapterAtoms;
    HRESULT Parse(CElementNode* node);
    // This atom, then its nested atoms depth-first; null when none has the UID.
    ChapterAtom* FindChapterAtom(ULONGLONG id);
};

struct EditionEntry : ChapterAtom {
    HRESULT Parse(CElementNode* node);
};

struct Chapter {
    CNode<EditionEntry> EditionEntries;
    HRESULT Parse(CElementNode* node);
};

struct Block {
    CLength TrackNumber;
    CInt TimeCode;
    CByte Lacing;   // the flags byte: 0x80 key frame (SimpleBlock), bits 1-2 lacing
    std::vector<std::vector<BYTE>> BlockData;   // one per laced frame
    // Refuses a block whose header, lace sizes or frames run past its end.
    HRESULT Parse(CElementNode* node, bool full = true);
    std::int64_t FrameBytes() const;
};

struct BlockMore {
    CInt BlockAddID{1};
    CBinary BlockAdditional;
    HRESULT Parse(CElementNode* node);
};

struct BlockAdditions {
    CNode<BlockMore> bm;
    HRESULT Parse(CElementNode* node);
};

struct TimeSlice {
    CUInt LaceNumber, FrameNumber, BlockAdditionID, Delay;
    HRESULT Parse(CElementNode* node);
};

struct BlockGroup {
    Block b;
    CUInt BlockDuration, ReferencePriority;
    CInt ReferenceBlock, ReferenceVirtual;
    CBinary CodecState;
    CNode<TimeSlice> TimeSlices;
    BlockAdditions ba;
    HRESULT Parse(CElementNode* node, bool full = true);
};

struct Segment {
    LONGLONG pos{0}, len{0};   // of the payload
    Info SegmentInfo;
    CNode<SeekHead> MetaSeekInfo;
    CNode<Track> Tracks;
    CNode<Cue> Cues;
    CNode<Attachment> Attachments;
    CNode<Chapter> Chapters;
    HRESULT Parse(CElementNode* node);
};

}
