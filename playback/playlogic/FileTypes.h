#pragma once
// The kind of a media path by its extension, for the play logic's debug lines.

#include <string_view>

namespace UI {

// 0 unknown, 1 MPG, 2 MP4, 3 RM, 4 WMV, 5 AVI, 6 FLV, 7 ASF, 8 3GP, 9 MOV. The
// extension is the text from the last "." on, compared exactly (".MP4" is unknown).
int FileKindOf(std::u16string_view path);
// "UNK" for kinds outside the table.
const char* FileKindLabel(int kind);

}
