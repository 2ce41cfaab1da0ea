#pragma once
// CElementNode: one EBML element of a Matroska file being walked, with its
// id, payload size and positions (absolute in the file). A node reads
// through its file and knows its parent, so it can step to its siblings and
// never walks past the end of any element that encloses it.

#include "splitter/matroska/MatroskaValues.h"

#include <memory>

namespace MatroskaReader {

class CElementNode {
public:
    // The root of a file: id 0, the stream's length, positions 0.
    static std::unique_ptr<CElementNode> Root(CMatroskaFile* file);
    CElementNode(CElementNode* parent, CMatroskaFile* file) : m_pParent(parent), m_pFile(file) {}

    // Reads an element header at the file's current position.
    HRESULT ReadHeader();
    // The child with this id (0: the first child). With an id, the Segment
    // asks its seek index first; otherwise search steps through the siblings.
    std::unique_ptr<CElementNode> FirstChild(DWORD id = 0, bool search = false);
    // Steps to the next element (with same_id, the next with this id).
    bool Next(bool same_id = false);
    // Inside a Segment: scans from here for the next top-level element id.
    bool Resync();
    // The first BlockGroup or SimpleBlock of a Cluster.
    std::unique_ptr<CElementNode> FirstBlock();
    bool NextBlock();
    std::unique_ptr<CElementNode> Copy() const;
    // Seeks to the payload.
    void SeekTo() const;

    // Where the payload ends.
    LONGLONG End() const { return m_datapos + static_cast<LONGLONG>(*m_len); }
    // How far children may reach: this payload's end, cut at every enclosing end.
    LONGLONG Limit() const;
    // True when the payload lies within every enclosing element and within the stream.
    bool PayloadFits() const;

    CElementNode* m_pParent;
    CMatroskaFile* m_pFile;
    CID m_id;
    CLength m_len;
    LONGLONG m_filepos{0};   // of the first id byte
    LONGLONG m_datapos{0};   // of the payload
};

}
