#include "platform/automation/Locale.h"

#include <cstdlib>

namespace plat {

namespace {

constexpr LCID english_us = 0x0409;

// Territory-qualified names first; a language alone takes its first entry.
constexpr struct {
    std::string_view name;
    LCID lcid;
} locales[] = {
    {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009}, {"zh_CN", 0x0804},
    {"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412},
    {"de_DE", 0x0407}, {"de_AT", 0x0C07}, {"de_CH", 0x0807}, {"fr_FR", 0x040C}, {"fr_CA", 0x0C0C},
    {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"it_IT", 0x0410}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
    {"ru_RU", 0x0419}, {"nl_NL", 0x0413}, {"pl_PL", 0x0415}, {"sv_SE", 0x041D}, {"tr_TR", 0x041F},
};

}

LCID lcid_of_locale_name(std::string_view name)
{
    name = name.substr(0, name.find_first_of(".@"));
    for (const auto& l : locales)
        if (l.name == name)
            return l.lcid;
    const std::string_view language = name.substr(0, name.find('_'));
    for (const auto& l : locales)
        if (l.name.substr(0, l.name.find('_')) == language)
            return l.lcid;
    return english_us;
}

}

LCID GetSystemDefaultLCID() noexcept
{
    for (const char* variable : {"LC_ALL", "LANG"})
        if (const char* value = std::getenv(variable); value && *value)
            return plat::lcid_of_locale_name(value);
    return 0x0409;
}
