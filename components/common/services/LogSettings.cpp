#include "LogSettings.h"

#include "components/common/services/RegRead.h"
#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"

#include <cstdio>

namespace {

constexpr const WCHAR* log_key = u"Software\\Corvalen\\HTTP\\Log";

}

bool OpenLogFromSettings(tLogFile& log, const void* owner)
{
    const std::u16string folder = ReadRegString(HKEY_LOCAL_MACHINE, log_key, u"logdir");
    if (folder.empty()) return false;
    const DWORD level = ReadRegDword(HKEY_LOCAL_MACHINE, log_key, u"loglevel", 0);
    char name[32];
    std::snprintf(name, sizeof name, "%p.log", owner);
    return log.Open(plat::join_path(plat::utf16_to_utf8(folder), name), 0, level) == 0;
}
