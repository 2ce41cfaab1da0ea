#pragma once
/* The user data of the heaps our build of Duktape (DuktapeBuild.c) runs:
 * while a script runs, the engine asks timed_out(context) every so many
 * instructions, and a non-zero answer ends the script with a RangeError,
 * "execution timeout". Plain C: the engine's build includes it. */

struct ScriptClock {
    int (*timed_out)(void* context);
    void* context;
};
