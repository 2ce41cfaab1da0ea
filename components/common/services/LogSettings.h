#pragma once
// The download log's switch: HKEY_LOCAL_MACHINE "Software\Corvalen\HTTP\Log"
// holds "logdir" (REG_SZ) and "loglevel" (REG_DWORD, default 0).

#include "components/common/services/LogFile.h"

// Opens "logdir"/<owner as %p>.log at level "loglevel" when "logdir" is set;
// otherwise the log stays closed. True when the log was opened.
bool OpenLogFromSettings(tLogFile& log, const void* owner);
