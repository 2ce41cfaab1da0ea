// skin_generator PROGRAM_FOLDER: draws the skin pictures into that folder.
#include "skin/SkinGenerator.h"

#include <cstdio>
#include <exception>

// Fontconfig keeps its pattern caches, which cairo fills for the wordmark, to the
// end of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_generator PROGRAM_FOLDER\n");
        return 2;
    }
    try {
        skin::generate_skin(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skin_generator: %s\n", e.what());
        return 1;
    }
    return 0;
}
