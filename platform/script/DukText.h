#pragma once
// Texts between Duktape and the rest of the system. Duktape keeps strings in
// CESU-8 (a UTF-16 surrogate is three bytes of its own); the system's texts
// are UTF-16 at COM boundaries and UTF-8 elsewhere.

#include <string>
#include <string_view>

struct duk_hthread;
using duk_context = duk_hthread;

namespace plat {

void push_utf16(duk_context* ctx, std::u16string_view text);
void push_utf8(duk_context* ctx, std::string_view text);
// The string at index as UTF-16 (anything else is coerced to string first: may throw in Duktape).
std::u16string get_utf16(duk_context* ctx, int index);
std::string get_utf8(duk_context* ctx, int index);

// What a Duktape C function's body reports to its thin wrapper, which throws
// after the body's C++ objects are gone (Duktape unwinds with longjmp).
struct CallOutcome {
    int results{0};
    long number{0};        // non-zero: throw an Error with this number
    char message[240]{};

    static CallOutcome fail(long number, std::string_view message);
};
int finish_call(duk_context* ctx, const CallOutcome& outcome);

// Throws a script Error with the message and the HRESULT as its "number".
// Must be called with no C++ object awaiting destruction on the stack: Duktape unwinds with longjmp.
[[noreturn]] void throw_script_error(duk_context* ctx, long number, const char* message);

}
