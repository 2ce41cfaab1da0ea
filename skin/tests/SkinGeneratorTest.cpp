#include "skin/SkinGenerator.h"

#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"
#include "platform/fs/testing/TempFolder.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>

// Fontconfig keeps the caches cairo fills for the wordmark to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;   // premultiplied ARGB, row by row
};

Image decode(const std::string& path)
{
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> s(
        cairo_image_surface_create_from_png(path.c_str()), &cairo_surface_destroy);
    Image image;
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
        return image;
    image.width = cairo_image_surface_get_width(s.get());
    image.height = cairo_image_surface_get_height(s.get());
    const int stride = cairo_image_surface_get_stride(s.get());
    const unsigned char* data = cairo_image_surface_get_data(s.get());
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x]);
    return image;
}

std::vector<uint32_t> state_pixels(const Image& image, int state)
{
    const int w = image.width / 4;
    std::vector<uint32_t> out;
    for (int y = 0; y < image.height; ++y)
        for (int x = state * w; x < (state + 1) * w; ++x)
            out.push_back(image.pixels[y * image.width + x]);
    return out;
}

bool visible(const Image& image)
{
    for (uint32_t p : image.pixels)
        if (p >> 24)
            return true;
    return false;
}

// The skin the build drew into the program folder (the tests' own folder).
class SkinGenerator : public ::testing::Test {
protected:
    static std::string path_of(const std::string& relative) { return plat::join_path(plat::program_folder(), relative); }
    static Image load(const std::string& relative) { return decode(path_of(relative)); }
};

}  // namespace

TEST_F(SkinGenerator, EveryTableFileDecodesAtItsSize)
{
    const auto files = skin::skin_files();
    EXPECT_EQ(files.size(), 93u);   // 96 table entries; three files serve two skin ids each
    for (const auto& f : files) {
        SCOPED_TRACE(f.path);
        const Image image = load(f.path);
        EXPECT_EQ(image.width, f.width);
        EXPECT_EQ(image.height, f.height);
        EXPECT_TRUE(visible(image));
    }
}

// The sizes the screens show these pictures at (one state for strips).
TEST_F(SkinGenerator, PicturesHaveTheSizeTheirWidgetsShow)
{
    const struct { const char* path; int width, height; } cases[] = {
        {"Skins/images/Minmize.png", 64, 16},       {"Skins/images/Close.png", 64, 16},
        {"Skins/images/CheckBox_On.png", 64, 16},   {"Skins/images/RadioBox_Off.png", 64, 16},
        {"Skins/images/Page_Unselecte.png", 17, 15}, {"Skins/images/NextPage.png", 17, 15},
        {"Skins/images/Add.png", 11, 11},           {"Skins/images/RemoveAll.png", 11, 11},
        {"Skins/images/PlayPanelBg.png", 360, 92},  {"Skins/images/Loading0005.png", 48, 48},
        {"Skins/images/ItemBar.png", 40, 24},       {"Skins/images/SelectedChannel.png", 40, 24},
        {"Skins/images/SettingInputbar.png", 30, 19}, {"Skins/images/FunctionsBtn.png", 96, 19},
        {"Skins/images/MyFavorite.png", 16, 16},    {"Skins/images/SettingBtn.png", 96, 16},
        {"Skins/images/SyncBtn.png", 64, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const Image image = load(c.path);
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
    }
}

TEST_F(SkinGenerator, StripsHoldFourDifferentStates)
{
    for (const auto& f : skin::skin_files()) {
        if (!f.strip)
            continue;
        SCOPED_TRACE(f.path);
        const Image image = load(f.path);
        ASSERT_EQ(image.width % 4, 0);
        for (int a = 0; a < 4; ++a)
            for (int b = a + 1; b < 4; ++b)
                EXPECT_NE(state_pixels(image, a), state_pixels(image, b)) << "states " << a << " and " << b;
    }
}

// Nine-grid pictures need a middle to stretch: larger than their borders.
TEST_F(SkinGenerator, NineGridPicturesExceedTheirBorders)
{
    const struct { const char* path; int left, top, right, bottom, states; } cases[] = {
        {"Skins/images/sidbar_bg_left.png", 8, 8, 100, 62, 1},
        {"Skins/images/Subpanel.png", 5, 5, 5, 5, 1},
        {"Skins/images/SettingInputbar.png", 5, 5, 5, 5, 1},
        {"Skins/images/FunctionsBtn.png", 5, 5, 5, 5, 4},
        {"Skins/images/SettingBtn.png", 5, 5, 5, 5, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const Image image = load(c.path);
        EXPECT_GT(image.width / c.states, c.left + c.right);
        EXPECT_GT(image.height, c.top + c.bottom);
    }
}

// The tree's background stretches its middle under the rows: a line drawn
// there runs through a row's icon and title.
TEST_F(SkinGenerator, TheTreeBackgroundHasNoRuleUnderTheRows)
{
    const Image image = load("Skins/images/sidbar_bg_left.png");
    ASSERT_GT(image.height, 8 + 62);
    const int x = image.width / 2;
    for (int y = 9; y < image.height - 62; ++y) {
        const uint32_t above = image.pixels[std::size_t((y - 1) * image.width + x)];
        const uint32_t here = image.pixels[std::size_t(y * image.width + x)];
        for (int shift : {0, 8, 16})
            EXPECT_LE(std::abs(int(here >> shift & 0xFF) - int(above >> shift & 0xFF)), 2) << "row " << y;
    }
}

TEST_F(SkinGenerator, LoadingFramesDiffer)
{
    EXPECT_NE(load("Skins/images/Loading0001.png").pixels, load("Skins/images/Loading0002.png").pixels);
}

TEST_F(SkinGenerator, GivesTheSameBytesAsTheBuildDid)
{
    plat::TempFolder again;
    skin::generate_skin(again.path());
    for (const auto& f : skin::skin_files()) {
        SCOPED_TRACE(f.path);
        const auto first = plat::read_file(path_of(f.path));
        const auto second = plat::read_file(again / f.path);
        EXPECT_EQ(first.bytes, second.bytes);
    }
}
