#include "core/notifier/FeedNotifierMarshalling.h"

#include "core/notifier/IFeedNotifier.h"

namespace {

// Method numbers on the wire; both ends of every version must agree on them.
constexpr std::uint32_t notify_subscribe = 1;
constexpr std::uint32_t notify_unsubscribe = 2;

class FeedNotifierProxy final : public plat::LocalProxy<IFeedNotifier> {
public:
    using LocalProxy::LocalProxy;

    HRESULT NotifySubscribe(LONG lChannelID) noexcept override { return call(notify_subscribe, lChannelID); }
    HRESULT NotifyUnsubscribe(LONG lChannelID, VARIANT_BOOL bBefore) noexcept override
    {
        return call(notify_unsubscribe, lChannelID, bBefore);
    }
};

HRESULT invoke(IUnknown* object, const plat::LocalCall& call) noexcept
{
    // The served object is the pointer its factory gave for IFeedNotifier.
    auto* notifier = static_cast<IFeedNotifier*>(object);
    switch (call.method) {
    case notify_subscribe:
        return notifier->NotifySubscribe(call.args[0]);
    case notify_unsubscribe:
        return notifier->NotifyUnsubscribe(call.args[0], static_cast<VARIANT_BOOL>(call.args[1]));
    default:
        return E_INVALIDARG;
    }
}

}

const plat::LocalInterface& feed_notifier_marshalling()
{
    static const plat::LocalInterface carried{IID_IFeedNotifier, &invoke, &plat::make_local_proxy<FeedNotifierProxy>};
    return carried;
}
