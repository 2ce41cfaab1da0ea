#pragma once
// The user-interface language the installer chose: the HKLM value "Language"
// under "Software\Corvalen\Strimo" (1028 and 2052 select a resource library).

#include "platform/base/Types.h"

// language becomes the stored value, or 1033 with E_FAIL when it cannot be read.
// The key is opened for reading only, so users who may not write HKLM still get it.
LONG ReadLanguageSetting(DWORD& language);
