#pragma once
// CRMFile: a RealMedia file (".RMF" chunks, big-endian numbers): the file
// and stream properties, the content description, the data chunks, the index
// of the master stream and the embedded subtitle streams. Opening walks every
// chunk header once, then reads the picture size of RV40/RV41 streams from
// their first key frame.

#include "splitter/base/BaseSplitterFile.h"

#include <string>
#include <vector>

namespace RMFF {

struct Properties {
    DWORD maxBitRate{0}, avgBitRate{0}, maxPacketSize{0}, avgPacketSize{0}, nPackets{0};
    DWORD tDuration{0}, tPreroll{0}, ptrIndex{0}, ptrData{0};
    WORD nStreams{0}, flags{0};
};

struct MediaProperties {
    WORD stream{0};
    DWORD maxBitRate{0}, avgBitRate{0}, maxPacketSize{0}, avgPacketSize{0}, tStart{0}, tPreroll{0}, tDuration{0};
    std::string name, mime;
    std::vector<BYTE> typeSpecData;
    DWORD width{0}, height{0};   // from the first key frame (RV40 and RV41 only); 0 when not read
};

struct ContentDesc {
    std::string title, author, copyright, comment;
};

struct DataChunk {
    LONGLONG pos{0};   // of the first media packet
    LONGLONG end{0};   // of the chunk
    DWORD nPackets{0};
};

struct IndexRecord {
    DWORD tStart{0};       // milliseconds
    DWORD ptrFilePos{0};   // of the packet
    DWORD packet{0};       // its number in the stream's packet order
};

struct Subtitle {
    std::string name, data;
};

struct MediaPacketHeader {
    WORD version{0}, length{0};
    int stream{-1};
    DWORD tStart{0};
    BYTE flags{0};
    std::vector<BYTE> data;
};

}

class CRMFile : public CBaseSplitterFile {
public:
    CRMFile(IAsyncReader* reader, HRESULT& result);

    // Reads the media packet at the current position; false at a damaged or cut header.
    bool Read(RMFF::MediaPacketHeader& mph, bool with_data = true);
    using CBaseSplitterFile::Read;
    HRESULT ReadBE(DWORD& value, int bytes);

    RMFF::Properties m_p;
    std::vector<RMFF::MediaProperties> m_mps;
    RMFF::ContentDesc m_cd;
    std::vector<RMFF::DataChunk> m_dcs;
    std::vector<RMFF::IndexRecord> m_irs;   // of the master stream
    std::vector<RMFF::Subtitle> m_subs;

private:
    HRESULT Init();
    bool ReadChunk(DWORD id, LONGLONG end);
    bool ReadMediaProperties(LONGLONG end);
    bool ReadIndex(LONGLONG end);
    bool ReadString(std::string& out, int length_bytes, LONGLONG end);
    void ProbeFrameSizes();
};
