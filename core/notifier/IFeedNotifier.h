#pragma once
// The feed notifier's interface. The running main program serves it out of
// process; the browser extension calls it through a local-server proxy
// (FeedNotifierMarshalling.h carries it).

#include "platform/com/Unknown.h"

using VARIANT_BOOL = SHORT;

inline constexpr IID IID_IFeedNotifier = plat::make_guid("{1B750EB6-C5B8-4A02-A8D5-0CF39645C1D9}");

struct IFeedNotifier : IUnknown {
    static constexpr const IID& iid = IID_IFeedNotifier;
    virtual HRESULT NotifySubscribe(LONG lChannelID) = 0;
    virtual HRESULT NotifyUnsubscribe(LONG lChannelID, VARIANT_BOOL bBefore) = 0;

protected:
    ~IFeedNotifier() = default;
};
