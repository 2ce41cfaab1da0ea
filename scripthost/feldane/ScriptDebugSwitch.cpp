#include "scripthost/feldane/ScriptDebugSwitch.h"

#include <cstdlib>
#include <strings.h>

bool script_debug_requested()
{
    const char* value = std::getenv("FELDANE");
    return value && strcasecmp(value, "TRUE") == 0;
}
