/* Duktape from the source Debian ships with duktape-dev, built with the
 * execution time-out check its packaged library leaves out: while a script
 * runs, the engine asks the heap's clock (ScriptClock.h) every so many
 * instructions, and a yes ends the script with a RangeError that no catch of
 * the script can keep. Nothing else of the configuration changes, so the
 * packaged headers describe this build. */

#include "platform/script/ScriptClock.h"

#define DUK_COMPILING_DUKTAPE
#include "duk_config.h"

static int strimo_script_timed_out(void* udata)
{
    const struct ScriptClock* clock = (const struct ScriptClock*)udata;
    return clock && clock->timed_out && clock->timed_out(clock->context);
}

#define DUK_USE_INTERRUPT_COUNTER
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) strimo_script_timed_out(udata)

#include "duktape.c"
