#pragma once
// Feed titles as file names. The downloads page, the play logic and the device
// sync all name a download after its item's title, so they must clean it the
// same way or one of them looks for a file the other never wrote.

#include <string>
#include <string_view>

namespace playback {

// The title without the characters a file name may not hold on the systems the
// names were first made for: \ / " * ? : < > |, and NUL, which no path can carry.
std::u16string clean_title(std::u16string_view title);

// folder + "/" + the cleaned title (decoded from UTF-8) + extension, the
// extension given with its dot. A name whose UTF-8 form would pass the file
// system's 255-byte limit loses characters from the end of the title (never
// half a character) so that the extension stays whole.
std::string titled_file_path(std::string_view folder, std::string_view title_utf8, std::string_view extension);

}
