#include "platform/fs/testing/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace plat {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "strimo-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempFolder::operator/(std::string_view name) const
{
    std::string path = m_path;
    path += '/';
    path += name;
    return path;
}

}
