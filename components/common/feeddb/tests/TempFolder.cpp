#include "TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace feeddb_test {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "feeddb-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}
