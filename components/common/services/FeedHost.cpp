#include "components/common/services/FeedHost.h"

#include "components/common/regutil/ProgramKey.h"
#include "components/common/services/RegRead.h"
#include "platform/base/Utf.h"

std::string ReadFeedHost()
{
    const std::u16string stored = ReadRegString(HKEY_CURRENT_USER, ProgramKey, u"FeedHost");
    return stored.empty() ? "feeds.vazirezo.invalid" : plat::utf16_to_utf8(stored);
}
