#pragma once
// Where a description picture is kept on disk, and whether it is there.

#include <string>
#include <string_view>

namespace BindID {
class IBindIDManager;
}

namespace lumbrick {

// Only web addresses are fetched; any other scheme (data:, file:,
// javascript:) or a relative address keeps its place in the description.
bool is_fetchable_picture(std::string_view address);

// folder (ending in a separator), the address's binding id as two signed
// decimals, then the extension of the address's last path segment when it is
// one to five letters or digits. Host, query and fragment never reach the name,
// and the same address always gives the same name.
std::string picture_file_name(std::string_view folder, std::string_view address, BindID::IBindIDManager& bind);

// A non-empty regular file: a download that was cut short leaves none.
bool picture_present(const std::string& path);

}
