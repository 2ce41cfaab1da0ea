#pragma once
// What the quandrel module registers: the class and the filter's setup data.

#include "platform/com/ClassRegistry.h"
#include "platform/dshow/FilterRegistration.h"
#include "splitter/quandrel/Quandrel.h"

namespace quandrel {

// The class factory's template name; the filter's own name is "KVR Splitter".
inline constexpr plat::ClassRegistration registration{CLSID_QuandrelSplitter, "KVR splitter", "", "", "Both"};

// Merit 0x00060000 and the pins "Input", "Audio Output", "Video Output".
extern const plat::FilterSetup filter_setup;

}
