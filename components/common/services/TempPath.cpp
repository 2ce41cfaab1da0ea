#include "TempPath.h"

#include "platform/fs/Folders.h"

#include <cstdlib>
#include <unistd.h>

std::string MakeTempFolder(const std::string& name)
{
    std::string folder = plat::join_path(plat::temp_folder(), name);
    if (!plat::create_folder_tree(folder)) return {};
    if (folder.back() != '/') folder.push_back('/');
    return folder;
}

std::string MakeTempFilePath(const std::string& name)
{
    const std::string folder = MakeTempFolder(name);
    if (folder.empty()) return {};
    std::string path = folder + "tmpXXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) return {};
    ::close(fd);
    return path;
}
