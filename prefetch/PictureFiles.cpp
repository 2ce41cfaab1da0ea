#include "prefetch/PictureFiles.h"

#include "outside/bind/BindID.h"
#include "platform/base/AsciiCase.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace lumbrick {

namespace {

std::string_view extension_of(std::string_view address)
{
    address = address.substr(0, address.find_first_of("?#"));
    const std::size_t scheme_end = address.find("://");
    if (scheme_end != std::string_view::npos) {
        const std::size_t path = address.find('/', scheme_end + 3);
        if (path == std::string_view::npos)
            return {};
        address = address.substr(path);
    }
    const std::string_view segment = address.substr(address.rfind('/') + 1);
    const std::size_t dot = segment.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return {};
    const std::string_view extension = segment.substr(dot + 1);
    const bool plain = std::all_of(extension.begin(), extension.end(),
                                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
    return plain && !extension.empty() && extension.size() <= 5 ? extension : std::string_view();
}

}

bool is_fetchable_picture(std::string_view address)
{
    return plat::starts_with_nocase(address, "http://") || plat::starts_with_nocase(address, "https://");
}

std::string picture_file_name(std::string_view folder, std::string_view address, BindID::IBindIDManager& bind)
{
    const std::string text(address);
    const BindID::tBindID id = bind.GetBindID(text.c_str(), text.c_str());
    char digits[48];
    std::snprintf(digits, sizeof digits, "%lld%lld", static_cast<long long>(id.first), static_cast<long long>(id.second));
    std::string name = std::string(folder) + digits;
    const std::string_view extension = extension_of(address);
    if (!extension.empty())
        name += "." + std::string(extension);
    return name;
}

bool picture_present(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}
