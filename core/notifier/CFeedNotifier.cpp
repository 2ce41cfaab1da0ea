#include "core/notifier/CFeedNotifier.h"

#include "core/notifier/FeedNotifierMarshalling.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "platform/base/DebugLog.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/com/LocalServer.h"

#include <cstdint>
#include <exception>
#include <string>

HRESULT CFeedNotifier::NotifySubscribe(LONG lChannelID) noexcept
try {
    CRSSDBMgr::Instance().NotifyDataAction(DataAction::Insert, DataKind::Channel, static_cast<std::int64_t>(lChannelID), 0);
    return S_OK;
} catch (const std::exception& e) {
    plat::debug_log(std::string("feed notifier: a listener failed: ") + e.what());
    return E_FAIL;
}

HRESULT CFeedNotifier::NotifyUnsubscribe(LONG lChannelID, VARIANT_BOOL bBefore) noexcept
try {
    const auto id = static_cast<std::int64_t>(lChannelID);
    if (bBefore)
        CRSSDBMgr::Instance().NotifyBeforeDataAction(DataAction::Delete, DataKind::Channel, id, 0);
    else
        CRSSDBMgr::Instance().NotifyDataAction(DataAction::Delete, DataKind::Channel, id, 0);
    return S_OK;
} catch (const std::exception& e) {
    plat::debug_log(std::string("feed notifier: a listener failed: ") + e.what());
    return E_FAIL;
}

HRESULT ServeFeedNotifier() noexcept
try {
    const HRESULT initialised = CoInitialize(nullptr);
    HRESULT hr = S_OK;
    {
        plat::LocalServer server;
        auto factory = plat::ComPtr<IClassFactory>::adopt(new plat::ClassFactory<CFeedNotifier>());
        hr = server.register_class(CLSID_FeedNotifier, factory.get(), feed_notifier_marshalling());
        if (SUCCEEDED(hr))
            server.run();
        else
            plat::debug_log("feed notifier: cannot serve the class");
    }
    if (SUCCEEDED(initialised))
        CoUninitialize();
    return hr;
} catch (const std::exception& e) {
    plat::debug_log(std::string("feed notifier: ") + e.what());
    return E_FAIL;
}
