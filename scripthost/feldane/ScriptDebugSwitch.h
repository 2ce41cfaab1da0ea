#pragma once
// The script debugging switch that the script host and its clients share: the
// environment variable "FELDANE" set to "TRUE" in any case. Read on every call,
// so a change of the environment takes effect at the next engine.

bool script_debug_requested();
