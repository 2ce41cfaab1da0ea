#pragma once
// CMP4SplitterFile: the MP4 parser's reader, with the atom library's file
// object over it. The source must be wholly there.

#include "splitter/base/BaseSplitterFileEx.h"

#include <memory>

class AP4_File;
class AP4_Movie;

class CMP4SplitterFile final : public CBaseSplitterFileEx {
public:
    // result: the reader's failure, E_OUTOFMEMORY, E_FAIL when the source holds no movie, else S_OK.
    CMP4SplitterFile(IAsyncReader* reader, HRESULT& result);
    ~CMP4SplitterFile() override;

    // Null when there is none.
    AP4_Movie* GetMovie() const;

private:
    std::unique_ptr<AP4_File> m_file;   // reads through this object: destroyed first
};
