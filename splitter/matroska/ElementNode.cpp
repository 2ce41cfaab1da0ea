#include "splitter/matroska/ElementNode.h"

#include "splitter/matroska/ElementIds.h"
#include "splitter/matroska/MatroskaFile.h"

#include <algorithm>

namespace MatroskaReader {

namespace {

// The elements a Segment holds; a resynchronisation looks for their ids.
constexpr DWORD top_level_ids[] = {Id::Attachments, Id::Cues, Id::Cluster, Id::Tracks,
                                   Id::Info,        Id::Tags, Id::Chapters, Id::SeekHead};

bool is_top_level(DWORD id) { return std::find(std::begin(top_level_ids), std::end(top_level_ids), id) != std::end(top_level_ids); }

}

std::unique_ptr<CElementNode> CElementNode::Root(CMatroskaFile* file)
{
    auto root = std::make_unique<CElementNode>(nullptr, file);
    root->m_id.Set(0);
    root->m_len.Set(static_cast<ULONGLONG>(std::max<LONGLONG>(file->Extent(), 0)));
    return root;
}

HRESULT CElementNode::ReadHeader()
{
    m_filepos = m_pFile->GetPos();
    if (FAILED(m_id.Parse(m_pFile)) || FAILED(m_len.Parse(m_pFile))) return E_FAIL;
    m_datapos = m_pFile->GetPos();
    // Inside a Segment only its own kinds of element (and padding) can stand;
    // anything else is a damaged run to resynchronise over.
    if (m_pParent && *m_pParent->m_id == Id::Segment && !is_top_level(*m_id) && *m_id != Id::Void &&
        *m_id != Id::Crc32)
        return E_FAIL;
    return S_OK;
}

LONGLONG CElementNode::Limit() const
{
    const LONGLONG end = static_cast<LONGLONG>(std::min<ULONGLONG>(*m_len, INT64_MAX - m_datapos)) + m_datapos;
    return m_pParent ? std::min(end, m_pParent->Limit()) : end;
}

bool CElementNode::PayloadFits() const
{
    const LONGLONG limit = std::min(m_pParent ? m_pParent->Limit() : Limit(), m_pFile->Extent());
    return m_datapos <= limit && *m_len <= static_cast<ULONGLONG>(limit - m_datapos);
}

void CElementNode::SeekTo() const { m_pFile->Seek(m_datapos); }

std::unique_ptr<CElementNode> CElementNode::FirstChild(DWORD id, bool search)
{
    if (*m_len == 0 || m_datapos >= Limit()) return nullptr;
    SeekTo();
    auto child = std::make_unique<CElementNode>(this, m_pFile);
    if (FAILED(child->ReadHeader()) && !child->Resync()) return nullptr;
    if (id == 0) return child;
    const LONGLONG indexed = *m_id == Id::Segment ? m_pFile->SeekPositionOf(id) : 0;
    if (indexed > 0 && indexed >= m_datapos && indexed < Limit()) {
        m_pFile->Seek(indexed);
        if (FAILED(child->ReadHeader())) return nullptr;
    } else if (search) {
        while (*child->m_id != id && child->Next(false)) {
        }
    }
    return *child->m_id == id ? std::move(child) : nullptr;
}

bool CElementNode::Next(bool same_id)
{
    if (!m_pParent) return false;
    const DWORD id = *m_id;
    do {
        if (End() >= m_pParent->Limit()) return false;
        m_pFile->Seek(End());
        if (FAILED(ReadHeader()) && !Resync()) return false;
    } while (same_id && *m_id != id);
    return true;
}

bool CElementNode::Resync()
{
    if (!m_pParent || *m_pParent->m_id != Id::Segment) return false;
    m_pFile->Seek(m_filepos);
    for (;;) {
        ULONGLONG b = 0;
        if (FAILED(m_pFile->ReadBE(b, 1))) return false;
        if ((b & 0xF0) != 0x10) continue;
        ULONGLONG rest = 0;
        if (FAILED(m_pFile->ReadBE(rest, 3))) return false;
        const DWORD id = static_cast<DWORD>(b << 24 | rest);
        if (is_top_level(id)) {
            m_pFile->Seek(m_pFile->GetPos() - 4);
            return SUCCEEDED(ReadHeader());
        }
        m_pFile->Seek(m_pFile->GetPos() - 3);
    }
}

std::unique_ptr<CElementNode> CElementNode::FirstBlock()
{
    std::unique_ptr<CElementNode> block = FirstChild(0, true);
    if (!block) return nullptr;
    while (*block->m_id != Id::BlockGroup && *block->m_id != Id::SimpleBlock)
        if (!block->Next(false)) return nullptr;
    return block;
}

bool CElementNode::NextBlock()
{
    do {
        if (!Next(false)) return false;
    } while (*m_id != Id::BlockGroup && *m_id != Id::SimpleBlock);
    return true;
}

std::unique_ptr<CElementNode> CElementNode::Copy() const { return std::make_unique<CElementNode>(*this); }

}
