#pragma once
// The texts the start-up and the main window show, by string id, from the
// resource module the start-up chose.

#include "platform/base/Types.h"

#include <string>

std::u16string app_text(UINT id);
