#pragma once
// Product versions as the update server and the program state them: numbers
// separated by dots ("2.1.0.7"), compared part by part as numbers, a missing
// part counting as 0 ("2.1" is "2.1.0.0").

#include <string_view>

// True only when both are versions and offered is higher than running. The
// answer travels over plain HTTP, so anything else (an older or equal version,
// a malformed one) is never offered: an attacker could otherwise replay an
// older signed installer.
bool is_newer_version(std::string_view offered, std::string_view running);
