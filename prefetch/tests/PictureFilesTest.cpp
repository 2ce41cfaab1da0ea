#include "prefetch/PictureFiles.h"

#include "outside/bind/BindID.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class TwelveThirtyFour final : public BindID::IBindIDManager {
public:
    void Register(const char*, const char*) override {}
    BindID::tBindID GetBindID(const char*, const char*) override { return {12, 34}; }
};

}

TEST(PictureFiles, NamesComeFromTheIdAndAPlainExtension)
{
    TwelveThirtyFour bind;
    const struct { const char* address; const char* name; } cases[] = {
        {"http://h/a/1.jpg", "F/1234.jpg"},
        {"http://h/a/1.png?size=2", "F/1234.png"},
        {"http://h/a/pic#x.gif", "F/1234"},
        {"http://h.example.com", "F/1234"},
        {"http://h.example.com?x=y.jpg", "F/1234"},
        {"http://h/a.b/c", "F/1234"},
        {"http://h/x.jpeg", "F/1234.jpeg"},
        {"http://h/x.toolong", "F/1234"},
        {"http://h/x.j-g", "F/1234"},
        {"http://h/x.", "F/1234"},
        {"http://h/.jpg", "F/1234"},
        {"http://h/q?f=../../etc/passwd.jpg", "F/1234"},
        {"http://h/%2e%2e%2fx.gif", "F/1234.gif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(lumbrick::picture_file_name("F/", c.address, bind), c.name);
    }
    BindID::IBindIDManager& real = *BindID::IBindIDManager::GetBindIDManager();
    real.Register("Corvalen", "Strimo");
    EXPECT_EQ(lumbrick::picture_file_name("F/", "http://h/1.jpg", real),
              lumbrick::picture_file_name("F/", "http://h/1.jpg", real));
    EXPECT_NE(lumbrick::picture_file_name("F/", "http://h/1.jpg", real),
              lumbrick::picture_file_name("F/", "http://h/2.jpg", real));
}

TEST(PictureFiles, OnlyWebAddressesAreFetched)
{
    const struct { const char* address; bool fetched; } cases[] = {
        {"http://h/1.jpg", true}, {"HTTPS://h/1.jpg", true}, {"data:image/png;base64,AA", false},
        {"javascript:alert(1)", false}, {"file:///etc/passwd", false}, {"/relative/1.jpg", false}, {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lumbrick::is_fetchable_picture(c.address), c.fetched) << c.address;
}

TEST(PictureFiles, OnlyANonEmptyRegularFileIsAPicture)
{
    plat::TempFolder dir;
    std::ofstream(dir.path() + "/full") << "bytes";
    std::ofstream(dir.path() + "/empty");
    std::filesystem::create_directory(dir.path() + "/folder");
    EXPECT_TRUE(lumbrick::picture_present(dir.path() + "/full"));
    EXPECT_FALSE(lumbrick::picture_present(dir.path() + "/empty"));
    EXPECT_FALSE(lumbrick::picture_present(dir.path() + "/folder"));
    EXPECT_FALSE(lumbrick::picture_present(dir.path() + "/missing"));
}
