#pragma once
// Numbers of the user's settings (HKCU "Software\Corvalen\Strimo") that the
// controller and the settings window both read, with their defaults and the
// ranges the settings window lets the user enter.

#include "components/common/regutil/RegNumber.h"

namespace SettingNumbers {

// Items kept in every channel.
inline constexpr RegNumber ItemsPerChannel{u"RSSItemNumber", 200, 25, 500};
// Minutes between two refreshes of every channel.
inline constexpr RegNumber RefreshMinutes{u"RetrieveRSSTime", 60, 10, 1440};

}
