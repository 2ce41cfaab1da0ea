#pragma once
// MossveilSourceFilter ("QT Source"): a file source filter that reads a
// QuickTime movie through QtMovieReader and pushes uncompressed frames on its
// pin "Video" and PCM sound on its pin "Audio" (each only when the movie has
// that kind of track).
//
// Load replaces the reader and both pins together, and only while the
// filter is stopped: no pin ever reads through a reader that is gone.

#include "platform/dshow/Source.h"

#include <functional>
#include <memory>
#include <string>

namespace qt {
class QuickTime;
}
class QtMovieReader;
class MossveilVideoPin;
class MossveilAudioPin;

inline constexpr CLSID CLSID_MossveilSource = plat::make_guid("{C4C557EE-276D-4009-B972-18CDAEF1A614}");

class MossveilSourceFilter final : public CSource, public IFileSourceFilter {
public:
    using QuickTimeMaker = std::function<std::unique_ptr<qt::QuickTime>()>;

    // Reads movies through our QuickTime layer over FFmpeg.
    MossveilSourceFilter();
    // Reads movies through the back ends `make` gives (one per Load).
    explicit MossveilSourceFilter(QuickTimeMaker make);

    HRESULT QueryInterface(REFIID riid, void** object) override { return CSource::QueryInterface(riid, object); }
    ULONG AddRef() override { return CSource::AddRef(); }
    ULONG Release() override { return CSource::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** object) override;

    // E_POINTER for no name, VFW_E_NOT_STOPPED unless stopped, E_FAIL when
    // the movie cannot be opened or a pin cannot be made. The type is ignored.
    HRESULT Load(LPCWSTR file_name, const AM_MEDIA_TYPE* type) override;
    // The type is not filled.
    HRESULT GetCurFile(LPWSTR* file_name, AM_MEDIA_TYPE* type) override;

private:
    ~MossveilSourceFilter() override;
    void release_movie();   // caller holds the filter lock

    const QuickTimeMaker m_make;
    // The reader before the pins that read it, so the pins go first.
    std::unique_ptr<QtMovieReader> m_reader;   // guarded by the filter lock
    std::unique_ptr<MossveilVideoPin> m_video; // guarded by the filter lock
    std::unique_ptr<MossveilAudioPin> m_audio; // guarded by the filter lock
    std::u16string m_file_name;                // guarded by the filter lock; empty when nothing is loaded
};
