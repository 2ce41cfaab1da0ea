#pragma once
// CAVFileBase: builds the graph for a local file: the file source, a splitter
// chosen by the file's name (else the generic chain), the decoders by
// splitter kind, and what the derived class puts after them (renderers here,
// encoders in the transcode). A QuickTime name that no splitter reads is tried
// again on the QuickTime source.

#include "engines/mediagraph/CAVBase.h"
#include "engines/mediagraph/SplitterChoice.h"

#include <mutex>
#include <string>

class CAVFileBase : public CAVBase {
public:
    CAVFileBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms);
    ~CAVFileBase() override;

    // Plays the built graph, or builds the playback graph first; 4104 when no route builds it.
    HRESULT Play() override;
    // Stops the threads and tears the graph down; the source path is cleared.
    HRESULT Close();

    // An empty path leaves the one set before.
    void SetSourcePath(std::u16string_view path);
    LONG GetSplitterKind() const { return m_kind; }

protected:
    // The file source and the splitter: S_OK when a splitter connected, else
    // the graph holds no splitter. Caller holds m_graph_lock.
    HRESULT build_source_and_splitter();
    // The QuickTime source loaded with the path, its outputs through the
    // renderers (or encoders); the threads are not started. Caller holds m_graph_lock.
    HRESULT build_quicktime_graph();
    void DestroyGraph() override;

    virtual HRESULT BuildGraph();
    virtual HRESULT ConnectOutputs();
    virtual HRESULT AddVideoDecoder(IPin* pin);
    HRESULT AddAudioDecoder(IPin* pin);
    virtual HRESULT AddVideoRenderer(IPin* pin);
    virtual HRESULT AddAudioRenderer(IPin* pin);
    // The splitter's video pin through a decoder: the pin to render, or the
    // splitter's own pin when no decoder takes it.
    plat::ComPtr<IPin> decode_video(IPin* pin, std::u16string_view output_name);

    std::recursive_mutex m_graph_lock;   // building and tearing down the graph
    std::u16string m_path;               // guarded by m_graph_lock

private:
    HRESULT add_source();
    HRESULT try_splitter(mediagraph::SplitterKind kind);
    HRESULT try_generic_chain();
    HRESULT add_splitter(mediagraph::SplitterKind kind);
    HRESULT connect_splitter();
    plat::ComPtr<IPin> add_subtitle(IPin* pin);

    LONG m_kind{mediagraph::KIND_NONE};
    plat::ComPtr<IBaseFilter> m_source;
    plat::ComPtr<IBaseFilter> m_splitter;
    plat::ComPtr<IBaseFilter> m_video_decoder;
    plat::ComPtr<IBaseFilter> m_audio_decoder;
};
