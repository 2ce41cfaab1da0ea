// The client process of the feed notifier's tests, as the browser extension
// would be: creates the feed notifier of the class id given first with
// CLSCTX_LOCAL_SERVER, then makes the calls the other arguments name
// ("subscribe <id>", "unsubscribe <id> <before>"), printing each result as
// "create <hr>" / "call <hr>" in hexadecimal.
// Exit status 0 when every step succeeded, 1 otherwise, 2 for bad arguments.

#include "core/notifier/FeedNotifierMarshalling.h"
#include "core/notifier/IFeedNotifier.h"
#include "platform/com/tests/LocalClientProcess.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const auto clsid = argc >= 2 ? plat::parse_guid(argv[1]) : std::nullopt;
    if (!clsid)
        return 2;
    CoInitialize(nullptr);
    plat::ComPtr<IFeedNotifier> notifier;
    HRESULT hr = com_testing::create_served(*clsid, feed_notifier_marshalling(), notifier);
    for (int i = 2; SUCCEEDED(hr) && i < argc; ++i) {
        const std::string verb = argv[i];
        if (verb == "subscribe" && i + 1 < argc) {
            hr = notifier->NotifySubscribe(std::atoi(argv[++i]));
        } else if (verb == "unsubscribe" && i + 2 < argc) {
            const LONG id = std::atoi(argv[++i]);
            hr = notifier->NotifyUnsubscribe(id, static_cast<VARIANT_BOOL>(std::atoi(argv[++i])));
        } else {
            return 2;
        }
        com_testing::print_step("call", hr);
    }
    notifier.reset();
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}
