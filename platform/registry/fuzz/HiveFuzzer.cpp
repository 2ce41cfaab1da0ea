// A hive file of an earlier run, or one edited by hand: it parses or is
// refused with a HiveFormatError, and what parses writes back to a text that
// parses to the same tree.

#include "platform/registry/HiveTree.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const plat::HiveTree tree = plat::HiveTree::parse(text);
        const std::string written = tree.format("HKEY_CURRENT_USER");
        if (plat::HiveTree::parse(written).format("HKEY_CURRENT_USER") != written)
            std::abort();
    } catch (const plat::HiveFormatError&) {
    }
    return 0;
}
