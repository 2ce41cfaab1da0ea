#pragma once
// Statements built from values with SQLite's printf. The format is checked
// against the arguments while compiling: %d takes int, %lld long long, and
// %q, %Q and %s text, so a 64-bit id can never be read as 32 bits.

#include "components/common/feeddb/CppSQLite3Buffer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

namespace feeddb {

enum class SqlArg { Int, Int64, Text };

template <class T>
constexpr SqlArg sql_arg_of()
{
    if constexpr (std::is_same_v<T, int>)
        return SqlArg::Int;
    else if constexpr (std::is_same_v<T, long long>)
        return SqlArg::Int64;
    else {
        static_assert(std::is_same_v<T, const char*>, "SQL arguments are int, long long or const char*");
        return SqlArg::Text;
    }
}

void sql_format_does_not_match_arguments();   // never defined: calling it in a constant expression fails the build

template <class... Args>
struct SqlFormat {
    consteval SqlFormat(const char* format) : text(format)
    {
        constexpr SqlArg expected[] = {sql_arg_of<Args>()..., SqlArg::Int};
        std::size_t next = 0;
        for (const char* p = format; *p; ++p) {
            if (*p != '%')
                continue;
            ++p;
            SqlArg found{};
            if (*p == '%')
                continue;
            if (*p == 'd')
                found = SqlArg::Int;
            else if (p[0] == 'l' && p[1] == 'l' && p[2] == 'd')
                found = SqlArg::Int64, p += 2;
            else if (*p == 'q' || *p == 'Q' || *p == 's')
                found = SqlArg::Text;
            else
                sql_format_does_not_match_arguments();
            if (next >= sizeof...(Args) || expected[next++] != found)
                sql_format_does_not_match_arguments();
        }
        if (next != sizeof...(Args))
            sql_format_does_not_match_arguments();
    }
    const char* text;
};

// The argument of a %lld for a 64-bit value (std::int64_t is long here, not long long).
constexpr long long i64(std::int64_t value)
{
    return value;
}

// Nothing when memory ran out.
template <class... Args>
std::optional<std::string> sql_text(SqlFormat<std::type_identity_t<Args>...> format, Args... args)
{
    CppSQLite3Buffer buffer;
    const char* text = buffer.format(format.text, args...);
    if (!text)
        return std::nullopt;
    return std::string(text);
}

}
