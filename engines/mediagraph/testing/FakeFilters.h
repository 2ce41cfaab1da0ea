#pragma once
// Test support for the media graph engines: fake filters made under real
// class ids by an injected maker. Each class is described by its pins; the
// lab logs every filter made, added to and removed from a graph, and keeps
// what the engine told each filter (settings, file names, properties, volume).

#include "engines/mediagraph/FilterIds.h"
#include "outside/filters/ICorvaNetSource.h"
#include "outside/filters/OutputSettings.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/BaseInputPin.h"
#include "platform/dshow/BaseOutputPin.h"
#include "platform/dshow/FilterRegistration.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/MediaType.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fakes {

// A video type of this size with a VIDEOINFOHEADER (or another format).
inline CMediaType video_type(LONG width, LONG height, const GUID& format = FORMAT_VideoInfo)
{
    CMediaType type(MEDIATYPE_Video);
    type.SetFormatType(&format);
    if (format == FORMAT_VideoInfo) {
        VIDEOINFOHEADER info{};
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        type.SetFormat(reinterpret_cast<const BYTE*>(&info), sizeof info);
    } else if (format == FORMAT_VideoInfo2 || format == FORMAT_MPEG2Video) {
        MPEG2VIDEOINFO info{};
        info.hdr.bmiHeader.biWidth = width;
        info.hdr.bmiHeader.biHeight = height;
        type.SetFormat(reinterpret_cast<const BYTE*>(&info), format == FORMAT_VideoInfo2 ? sizeof info.hdr : sizeof info);
    }
    return type;
}

inline CMediaType audio_type() { return CMediaType(MEDIATYPE_Audio); }

struct Input {
    std::u16string name;
    GUID major;   // GUID_NULL: any
};

struct Output {
    std::u16string name;
    CMediaType type;
};

// What a fake class has and does.
struct Shape {
    std::vector<Input> inputs;
    std::vector<Output> outputs;  // offered as given
    bool loads_files{false};      // IFileSourceFilter; its outputs show once loaded
    bool refuses_files{false};    // ... and Load fails
    bool net_source{false};       // takes an ISourceManager, which the lab keeps
    // Called as an input connects (a splitter probing its source); a failure refuses the connection.
    std::function<HRESULT()> on_input;
};

// What the engine did to the fakes, in order: "make NAME", "+NAME" (added),
// "-NAME" (removed).
class Lab {
public:
    void define(const mediagraph::FilterId& id, Shape shape)
    {
        std::scoped_lock hold(m_lock);
        m_shapes[key(id.clsid)] = {id.name, std::move(shape)};
    }
    void forget(const mediagraph::FilterId& id)
    {
        std::scoped_lock hold(m_lock);
        m_shapes.erase(key(id.clsid));
    }
    plat::FilterMaker maker();

    void log(const std::string& line)
    {
        std::scoped_lock hold(m_lock);
        m_log.push_back(line);
    }
    std::vector<std::string> entries() const
    {
        std::scoped_lock hold(m_lock);
        return m_log;
    }
    // The log's "+NAME" and "-NAME" lines only.
    std::vector<std::string> graph_changes() const
    {
        std::vector<std::string> out;
        for (auto& line : entries())
            if (line[0] == '+' || line[0] == '-') out.push_back(line);
        return out;
    }
    void record(const std::string& what, const std::string& value)
    {
        std::scoped_lock hold(m_lock);
        m_told[what] = value;
    }
    std::string told(const std::string& what) const
    {
        std::scoped_lock hold(m_lock);
        auto it = m_told.find(what);
        return it == m_told.end() ? std::string() : it->second;
    }

    // What the last network source made was told to read from.
    std::atomic<ISourceManager*> source_manager{nullptr};

private:
    static std::string key(const CLSID& clsid) { return std::string(reinterpret_cast<const char*>(&clsid), sizeof clsid); }

    mutable std::mutex m_lock;
    std::map<std::string, std::pair<std::u16string, Shape>> m_shapes;   // guarded by m_lock
    std::vector<std::string> m_log;                                  // guarded by m_lock
    std::map<std::string, std::string> m_told;                       // guarded by m_lock
};

inline std::string narrow(std::u16string_view text) { return {text.begin(), text.end()}; }

class Filter final : public CBaseFilter,
                     public IFileSourceFilter,
                     public IFileSinkFilter,
                     public IOutputSettings,
                     public IKsPropertySet,
                     public IBasicAudio,
                     public filters::ICorvaNetSource {
public:
    Filter(Lab& lab, std::u16string name, const CLSID& clsid, Shape shape)
        : CBaseFilter(name.c_str(), &m_filter_lock, clsid), m_lab(lab), m_shape(std::move(shape)), m_class_name(name)
    {
        for (const Input& input : m_shape.inputs) m_inputs.push_back(std::make_unique<InputPin>(this, input));
        if (!m_shape.loads_files) make_outputs();
    }

    HRESULT QueryInterface(REFIID iid, void** object) override { return CBaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        void* found = nullptr;
        if (iid == IFileSourceFilter::iid && m_shape.loads_files) found = static_cast<IFileSourceFilter*>(this);
        else if (iid == IFileSinkFilter::iid) found = static_cast<IFileSinkFilter*>(this);
        else if (iid == IOutputSettings::iid) found = static_cast<IOutputSettings*>(this);
        else if (iid == IKsPropertySet::iid) found = static_cast<IKsPropertySet*>(this);
        else if (iid == filters::ICorvaNetSource::iid && m_shape.net_source) found = static_cast<filters::ICorvaNetSource*>(this);
        else if (iid == IBasicAudio::iid && m_shape.outputs.empty() && !m_shape.inputs.empty())
            found = static_cast<IBasicAudio*>(this);   // sinks have a volume
        if (found == nullptr) return CBaseFilter::NonDelegatingQueryInterface(iid, object);
        *object = found;
        AddRef();
        return S_OK;
    }

    int GetPinCount() override { return static_cast<int>(m_inputs.size() + m_outputs.size()); }
    CBasePin* GetPin(int n) override
    {
        if (n < 0) return nullptr;
        if (static_cast<std::size_t>(n) < m_inputs.size()) return m_inputs[n].get();
        n -= static_cast<int>(m_inputs.size());
        return static_cast<std::size_t>(n) < m_outputs.size() ? m_outputs[n].get() : nullptr;
    }

    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override
    {
        m_lab.log((graph != nullptr ? "+" : "-") + narrow(graph != nullptr ? name : m_name.c_str()));
        return CBaseFilter::JoinFilterGraph(graph, name);
    }

    HRESULT Load(LPCWSTR file_name, const AM_MEDIA_TYPE*) override
    {
        m_lab.record(narrow(m_class_name) + " loaded", narrow(file_name));
        if (m_shape.refuses_files) return E_FAIL;
        make_outputs();
        return S_OK;
    }
    HRESULT GetCurFile(LPWSTR* file_name, AM_MEDIA_TYPE*) override
    {
        *file_name = nullptr;
        return S_OK;
    }
    HRESULT SetFileName(LPCWSTR file_name, const AM_MEDIA_TYPE*) override
    {
        m_lab.record(narrow(m_class_name) + " file", narrow(file_name));
        return S_OK;
    }
    HRESULT SetSettings(DWORD which, const tOutputSettings* record) override
    {
        if (which != 0 || record == nullptr) return E_INVALIDARG;
        m_lab.record(narrow(m_class_name) + " settings",
                     std::string(reinterpret_cast<const char*>(record->settings), 4) + (record->text ? record->text : ""));
        return S_OK;
    }
    HRESULT Set(REFGUID, DWORD id, LPVOID, DWORD, LPVOID data, DWORD length) override
    {
        m_lab.record(narrow(m_class_name) + " property " + std::to_string(id),
                     std::string(static_cast<const char*>(data), length));
        return S_OK;
    }
    HRESULT Get(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT QuerySupported(REFGUID, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT put_Volume(LONG volume) override
    {
        m_volume = volume;
        m_lab.record(narrow(m_class_name) + " volume", std::to_string(volume));
        return S_OK;
    }
    HRESULT get_Volume(LONG* volume) override
    {
        *volume = m_volume;
        return S_OK;
    }
    HRESULT SetSourceManager(ISourceManager* manager) override
    {
        m_lab.source_manager = manager;
        return S_OK;
    }
    HRESULT put_Balance(LONG) override { return S_OK; }
    HRESULT get_Balance(LONG* balance) override
    {
        *balance = 0;
        return S_OK;
    }

private:
    class InputPin final : public CBaseInputPin {
    public:
        InputPin(Filter* filter, const Input& input)
            : CBaseInputPin(input.name.c_str(), filter, &filter->m_filter_lock, nullptr), m_major(input.major),
              m_on_input(filter->m_shape.on_input)
        {
        }
        HRESULT CheckMediaType(const CMediaType* type) override
        {
            return m_major == GUID_NULL || *type->Type() == m_major ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        }
        HRESULT CompleteConnect(IPin* pin) override
        {
            const HRESULT hr = m_on_input ? m_on_input() : S_OK;
            return FAILED(hr) ? hr : CBaseInputPin::CompleteConnect(pin);
        }

    private:
        const GUID m_major;
        const std::function<HRESULT()> m_on_input;
    };

    class OutputPin final : public CBaseOutputPin {
    public:
        OutputPin(Filter* filter, const Output& output)
            : CBaseOutputPin(output.name.c_str(), filter, &filter->m_filter_lock, nullptr), m_type(output.type)
        {
        }
        HRESULT CheckMediaType(const CMediaType* type) override
        {
            return *type->Type() == *m_type.Type() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        }
        HRESULT GetMediaType(int position, CMediaType* type) override
        {
            if (position != 0) return VFW_S_NO_MORE_ITEMS;
            *type = m_type;
            return S_OK;
        }
        HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override
        {
            request->cBuffers = 1;
            request->cbBuffer = 16;
            ALLOCATOR_PROPERTIES actual{};
            return allocator->SetProperties(request, &actual);
        }

    private:
        const CMediaType m_type;
    };

    void make_outputs()
    {
        for (const Output& output : m_shape.outputs) m_outputs.push_back(std::make_unique<OutputPin>(this, output));
    }

    CCritSec m_filter_lock;
    Lab& m_lab;
    const Shape m_shape;
    const std::u16string m_class_name;
    std::vector<std::unique_ptr<InputPin>> m_inputs;
    std::vector<std::unique_ptr<OutputPin>> m_outputs;
    LONG m_volume{0};
};

inline plat::FilterMaker Lab::maker()
{
    return [this](const CLSID& clsid) -> plat::ComPtr<IBaseFilter> {
        std::unique_lock hold(m_lock);
        auto it = m_shapes.find(key(clsid));
        if (it == m_shapes.end()) return {};
        auto [name, shape] = it->second;
        hold.unlock();
        log("make " + narrow(name));
        return plat::ComPtr<IBaseFilter>(new Filter(*this, name, clsid, shape));
    };
}

// The filters of a whole transcode or playback: splitter with a "vids" and
// an "auds" pin, decoders, encoders, multiplexer, renderers, subtitle.
inline void define_working_filters(Lab& lab)
{
    using namespace mediagraph;
    const Input any{u"Input", GUID_NULL}, video{u"Input", MEDIATYPE_Video}, audio{u"Input", MEDIATYPE_Audio};
    const Shape splitter{{any}, {{u"Video", video_type(640, 360)}, {u"Audio", audio_type()}}};
    for (const FilterId* id : {&KVRSplitter, &AVISplitter, &MPEG1Splitter, &MPEG2Splitter, &MOVSplitter, &WaveParser})
        lab.define(*id, splitter);
    lab.define(FlashDecoder, {{video}, {{u"Video Output", video_type(640, 360)}}});
    lab.define(AVCDecoder, {{video}, {{u"Video Output", video_type(640, 360)}}});
    lab.define(AudioDecoder, {{audio}, {{u"Audio Output", audio_type()}}});
    lab.define(SubTitle, {{video}, {{u"Output", video_type(640, 360)}}});
    lab.define(VideoEncoder, {{video}, {{u"Output", video_type(640, 360)}}});
    lab.define(AudioEncoder, {{audio}, {{u"Output", audio_type()}}});
    lab.define(Multiplexer, {{{u"Audio Input", MEDIATYPE_Audio}, {u"Video Input", MEDIATYPE_Video}}, {}});
    lab.define(VideoRenderer, {{video}, {}});
    lab.define(DirectSoundRenderer, {{audio}, {}});
}

}
