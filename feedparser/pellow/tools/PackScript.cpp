// Build step: turns a parser script into the C++ source of its codec mode 0
// form, as Pellow carries it.  pellow-pack-script <script.js> <out.cpp>

#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/ZLibEncryptHelper.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <script.js> <out.cpp>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    LibUtil::ZLibEncryptHelper codec;
    LibUtil::ByteBuffer encoded, check;
    if (script.empty() || !codec.Encode(LibUtil::ByteBuffer(script), encoded, 0) ||
        !codec.Decode(encoded, check, 0) || check.ToString() != script) {
        std::fprintf(stderr, "%s: cannot encode %s\n", argv[0], argv[1]);
        return 1;
    }
    std::ostringstream out;
    out << "// Made by pellow-pack-script from " << argv[1] << ": do not edit.\n"
        << "#include \"feedparser/pellow/ParserScript.h\"\n\nnamespace pellow {\n\n"
        << "const unsigned char parser_script[] = {";
    for (DWORD i = 0; i < encoded.Length(); ++i)
        out << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(encoded.Data()[i]) << ",";
    out << "\n};\nconst std::size_t parser_script_size = sizeof parser_script;\n\n}\n";
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.good()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
