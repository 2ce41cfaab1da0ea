// Draws every picture file the UI tables name into a program folder, at the
// paths the resource manager reads. The same tables give the same bytes.
#pragma once

#include <string>
#include <vector>

namespace skin {

struct SkinFile {
    std::string path;   // relative to the program folder, '/'-separated
    int width;          // of the whole file (four states for a strip)
    int height;
    bool strip;         // four equal states side by side
};

// Every distinct file of the tables, in table order. Throws std::runtime_error
// for a table file without a recipe.
std::vector<SkinFile> skin_files();

// Writes every file of skin_files() below program_folder, making folders as
// needed. Throws std::runtime_error on the first file it cannot write.
void generate_skin(const std::string& program_folder);

}
