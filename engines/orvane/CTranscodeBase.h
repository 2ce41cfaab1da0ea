#pragma once
// CTranscodeBase: the file graph of CAVFileBase with encoders in place of the
// renderers and a multiplexer writing the output file. It runs unpaced: no
// clock, every filter works as fast as it can.

#include "engines/mediagraph/CAVFileBase.h"
#include "outside/filters/OutputSettings.h"

class CTranscodeBase : public CAVFileBase {
public:
    CTranscodeBase(IBaseControl* controller, plat::FilterMaker make, DWORD report_period_ms);
    ~CTranscodeBase() override;

    // Runs the built graph, or builds the transcode graph first. Fails without
    // a source or an output path; a graph no route builds also tells 4104.
    HRESULT Play() override;
    // An empty path leaves the one set before.
    void SetOutputPath(std::u16string_view path);
    void SetOutputSettings(const tOutputSettings& settings);

protected:
    void DestroyGraph() override;
    HRESULT ConnectOutputs() override;
    HRESULT AddVideoDecoder(IPin* pin) override;
    // The encoders take the renderers' places.
    HRESULT AddVideoRenderer(IPin* pin) override;
    HRESULT AddAudioRenderer(IPin* pin) override;
    void UseAudioClock() override;

private:
    HRESULT build();
    plat::ComPtr<IBaseFilter> add_encoder(const mediagraph::FilterId& id, IPin* upstream);
    HRESULT add_multiplexer();

    std::u16string m_output;        // guarded by m_graph_lock
    tOutputSettings m_settings{};   // guarded by m_graph_lock; all zero: the filters' defaults
    plat::ComPtr<IBaseFilter> m_video_encoder;
    plat::ComPtr<IBaseFilter> m_audio_encoder;
    plat::ComPtr<IBaseFilter> m_multiplexer;
};
