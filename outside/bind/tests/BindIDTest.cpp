#include "outside/bind/BindID.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>

namespace {

using BindID::IBindIDManager;
using BindID::tBindID;

TEST(BindID, KnownDigestPinsTheIdAcrossBuilds)
{
    // MD5 of "Corvalen\0Strimo\0a\0b\0", halves read big-endian.
    auto* manager = IBindIDManager::GetBindIDManager();
    manager->Register("Corvalen", "Strimo");
    tBindID id = manager->GetBindID("a", "b");
    char text[40];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(id.first),
                  static_cast<unsigned long long>(id.second));
    EXPECT_STREQ(text, "6ad01ae4156060087d3691038d7da50c");
}

TEST(BindID, SameTextsSameIdDifferentTextsDifferentIds)
{
    auto* manager = IBindIDManager::GetBindIDManager();
    manager->Register("Corvalen", "Strimo");
    const std::pair<const char*, const char*> inputs[] = {
        {"http://v/1.flv", "0"}, {"http://v/1.flvHD", "0"}, {"http://v/1.flv", "1f"},
        {"ab", "c"},             {"a", "bc"},               {"", ""},
        {nullptr, nullptr},      {"http://v/1.flv", "Title"},
    };
    std::set<std::pair<LONGLONG, LONGLONG>> seen;
    for (const auto& [key, sub] : inputs) {
        tBindID id = manager->GetBindID(key, sub);
        EXPECT_EQ(id, manager->GetBindID(key, sub));
        seen.insert({id.first, id.second});
    }
    EXPECT_EQ(seen.size(), std::size(inputs) - 1) << "only empty and null keys coincide";
}

TEST(BindID, RegistrationNamesTheIdSpace)
{
    auto* manager = IBindIDManager::GetBindIDManager();
    manager->Register("Corvalen", "Strimo");
    tBindID ours = manager->GetBindID("k", "s");
    manager->Register("Corvalen", "Other");
    tBindID theirs = manager->GetBindID("k", "s");
    manager->Register("Corvalen", "Strimo");
    EXPECT_NE(ours, theirs);
    EXPECT_EQ(ours, manager->GetBindID("k", "s"));
}

}
