#include "platform/com/tests/TestSink.h"

namespace {

constexpr std::uint32_t record_method = 1;

class TestSinkProxy final : public plat::LocalProxy<ITestSink> {
public:
    using LocalProxy::LocalProxy;
    HRESULT Record(LONG first, LONG second) noexcept override { return call(record_method, first, second); }
};

HRESULT invoke(IUnknown* object, const plat::LocalCall& call) noexcept
{
    if (call.method != record_method)
        return E_INVALIDARG;
    return static_cast<ITestSink*>(object)->Record(call.args[0], call.args[1]);
}

}

const plat::LocalInterface& test_sink_marshalling()
{
    static const plat::LocalInterface carried{IID_ITestSink, &invoke, &plat::make_local_proxy<TestSinkProxy>};
    return carried;
}
