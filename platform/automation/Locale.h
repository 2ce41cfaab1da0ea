#pragma once
// The system's default locale as a Windows locale id, from the POSIX locale
// of the environment (LC_ALL, else LANG): "zh_CN.UTF-8" gives 0x0804.
// "C", "POSIX", unset and unknown names give 0x0409 (English, United States).

#include "platform/automation/Variant.h"

#include <string_view>

LCID GetSystemDefaultLCID() noexcept;

namespace plat {

// The locale id of a POSIX locale name ("en_US.UTF-8", "de_DE@euro", "fr").
LCID lcid_of_locale_name(std::string_view name);

}
