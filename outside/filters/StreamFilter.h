#pragma once
// The base of a filter with one input pin and one output pin whose types
// come from its input: the decoders and the encoders. It owns the pins and
// the stream calls' order; a derived filter says what it takes and gives and
// handles samples on the thread that delivers them.

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaType.h"

#include <functional>
#include <memory>

class CBaseInputPin;
class CBaseOutputPin;

namespace filters {

class StreamFilter : public CBaseFilter {
public:
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;

protected:
    StreamFilter(const WCHAR* name, const CLSID& clsid, const WCHAR* input_name, const WCHAR* output_name);
    ~StreamFilter() override;

    virtual HRESULT check_input(const CMediaType& type) const = 0;
    // The input is connected with this type: the output types can be known now.
    virtual HRESULT input_connected(const CMediaType& type) = 0;
    virtual HRESULT output_type(int position, CMediaType* type) const = 0;
    virtual void output_chosen(const CMediaType& type) = 0;
    virtual LONG output_buffer_size() const = 0;
    virtual LONG output_buffer_count() const = 0;
    virtual void receive(IMediaSample* sample) = 0;
    // What is still held goes out before the end of the stream does.
    virtual void drain() = 0;
    virtual void flush() = 0;

    // Sends one sample of `size` bytes downstream, written by `fill` (false:
    // nothing is sent); false when nothing took it.
    bool deliver(std::size_t size, REFERENCE_TIME start, REFERENCE_TIME stop, bool sync,
                 const std::function<bool(BYTE*)>& fill);
    CBaseOutputPin& output() const;

private:
    class InputPin;
    class OutputPin;
    HRESULT check_output(const CMediaType& type) const;

    CCritSec m_filter_lock;
    std::unique_ptr<InputPin> m_input;
    std::unique_ptr<OutputPin> m_output;
};

}
