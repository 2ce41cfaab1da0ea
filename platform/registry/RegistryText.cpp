#include "RegistryText.h"

namespace plat {

std::u16string registry_text(std::span<const BYTE> data)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) break;
        text += unit;
    }
    return text;
}

std::vector<BYTE> registry_text_data(std::u16string_view text)
{
    std::vector<BYTE> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) {
        data.push_back(static_cast<BYTE>(unit & 0xFF));
        data.push_back(static_cast<BYTE>(unit >> 8));
    }
    data.insert(data.end(), {0, 0});
    return data;
}

}
