#pragma once
// The feed notifier the running main program serves out of process: the
// browser extension calls it after changing a subscription in the shared feed
// database, and each call becomes a change notice of this program's feed
// database, as if the program had made the change itself.

#include "platform/com/ComObject.h"
#include "core/notifier/IFeedNotifier.h"

inline constexpr CLSID CLSID_FeedNotifier = plat::make_guid("{9DB748F9-C01D-4BC3-A59E-A7F7FF4FDB08}");

class CFeedNotifier final : public plat::ComObject<IFeedNotifier> {
public:
    // After-notice (inserted, channel, id, 0).
    HRESULT NotifySubscribe(LONG lChannelID) noexcept override;
    // bBefore non-zero: before-notice (deleted, channel, id, 0), whose veto is
    // not used; zero: the after-notice. S_OK either way.
    HRESULT NotifyUnsubscribe(LONG lChannelID, VARIANT_BOOL bBefore) noexcept override;
};

// The body of the program's COM-server thread: serves the feed notifier on
// this thread until it receives WM_QUIT. 0, or the failure of publishing it.
HRESULT ServeFeedNotifier() noexcept;
