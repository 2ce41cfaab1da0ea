// The client process of the feed notifier's tests, as the browser extension
// would be: creates the feed notifier of the class id given first with
// CLSCTX_LOCAL_SERVER, then makes the calls the other arguments name
// ("subscribe <id>", "unsubscribe <id> <before>"), printing each result as
// "create <hr>" / "call <hr>" in hexadecimal.
// Exit status 0 when every step succeeded, 1 otherwise, 2 for bad arguments.

#include "core/notifier/FeedNotifierMarshalling.h"
#include "core/notifier/IFeedNotifier.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    auto clsid = plat::parse_guid(argv[1]);
    if (!clsid)
        return 2;
    CoInitialize(nullptr);
    plat::add_local_interface(feed_notifier_marshalling());
    plat::ComPtr<IFeedNotifier> notifier;
    HRESULT hr = CoCreateInstance(*clsid, nullptr, CLSCTX_LOCAL_SERVER, IFeedNotifier::iid, notifier.put_void());
    std::printf("create %08X\n", static_cast<unsigned>(hr));
    bool all_ok = SUCCEEDED(hr);
    for (int i = 2; all_ok && i < argc; ++i) {
        const std::string verb = argv[i];
        if (verb == "subscribe" && i + 1 < argc) {
            hr = notifier->NotifySubscribe(std::atoi(argv[++i]));
        } else if (verb == "unsubscribe" && i + 2 < argc) {
            const LONG id = std::atoi(argv[++i]);
            hr = notifier->NotifyUnsubscribe(id, static_cast<VARIANT_BOOL>(std::atoi(argv[++i])));
        } else {
            return 2;
        }
        std::printf("call %08X\n", static_cast<unsigned>(hr));
        all_ok = SUCCEEDED(hr);
    }
    notifier.reset();
    CoUninitialize();
    return all_ok ? 0 : 1;
}
