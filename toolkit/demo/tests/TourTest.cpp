// Runs the toolkit demo on its tour script in a real window (the test runs
// under xvfb-run) and checks what the screenshots and the recorded state show.
//   toolkit_demo_tour_tests DEMO SCRIPT OUT_DIR   (set by CTest through the environment)

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

struct Shot {
    std::string state;   // the steps.txt line after the name
    std::shared_ptr<cairo_surface_t> image;

    int width() const { return cairo_image_surface_get_width(image.get()); }
    int height() const { return cairo_image_surface_get_height(image.get()); }
    std::uint32_t pixel(int x, int y) const
    {
        const auto* row = cairo_image_surface_get_data(image.get()) + y * cairo_image_surface_get_stride(image.get());
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xffffffu;
    }
    // Pixels of the rectangle that differ from the other shot's.
    int changed(const Shot& other, int x0, int y0, int x1, int y1) const
    {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) count += pixel(x, y) != other.pixel(x, y);
        return count;
    }
};

class Tour : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const std::string out = env("TOUR_OUT");
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        const std::string command = "'" + env("TOUR_DEMO") + "' --script '" + env("TOUR_SCRIPT") + "' --out '" + out + "'";
        exit_code = std::system(command.c_str());
        std::ifstream steps(out + "/steps.txt");
        for (std::string line; std::getline(steps, line);) {
            const std::string name = line.substr(0, line.find(' '));
            auto* image = cairo_image_surface_create_from_png((out + "/" + name + ".png").c_str());
            shots[name] = {line.substr(name.size() + 1), {image, cairo_surface_destroy}};
        }
    }

    static const Shot& shot(const std::string& name)
    {
        static const Shot none{};
        auto found = shots.find(name);
        return found == shots.end() ? none : found->second;
    }

    static bool has(const std::string& name, const std::string& fact)
    {
        return shot(name).state.find(fact) != std::string::npos;
    }

    void SetUp() override
    {
        ASSERT_EQ(exit_code, 0);
        for (const char* name : {"start", "typed", "pasted", "clicked", "scrolled", "resized"}) {
            ASSERT_TRUE(shots.count(name)) << name;
            ASSERT_EQ(cairo_surface_status(shot(name).image.get()), CAIRO_STATUS_SUCCESS) << name;
        }
    }

    static inline int exit_code = -1;
    static inline std::map<std::string, Shot> shots;
};

TEST_F(Tour, EachStepLeavesTheScreenInTheStateItShouldHave)
{
    const struct { const char* shot; const char* fact; } cases[] = {
        {"start", "field=\"\""},
        {"typed", "field=\"Café 東京\""},                 // an accented letter and CJK characters
        {"pasted", "field=\"Café 東京Café 東京\""},        // copied and pasted through the clipboard
        {"clicked", "clicks=2 sounds=2"},                  // each click played the sound
        {"clicked", "volume=17"},                          // the dragged thumb
        {"scrolled", "first_row=3"},                       // three notches of the wheel
        {"scrolled", "selected=\"Most Viewed\""},
        {"resized", "size=760x460"},
    };
    for (const auto& c : cases) EXPECT_TRUE(has(c.shot, c.fact)) << c.shot << ": " << shot(c.shot).state;
}

// Pixels that must have changed on screen from one shot to the next (the
// window is 660 x 400; the field sits at (496, 72) to (638, 93)).
TEST_F(Tour, EachStepIsDrawnWhereItHappened)
{
    const struct { const char* shot; const char* before; int x0, y0, x1, y1, at_least; } cases[] = {
        {"typed", "start", 496, 72, 638, 93, 100},        // the typed text
        {"pasted", "typed", 560, 72, 638, 93, 50},        // the pasted half, right of it
        {"clicked", "pasted", 494, 190, 640, 202, 20},    // the thumb left its place
        {"scrolled", "clicked", 214, 74, 420, 300, 2000}, // the rows moved up
        {"scrolled", "clicked", 20, 116, 190, 140, 500},  // the chosen node's highlight
    };
    for (const auto& c : cases)
        EXPECT_GE(shot(c.shot).changed(shot(c.before), c.x0, c.y0, c.x1, c.y1), c.at_least) << c.shot;
}

TEST_F(Tour, AResizedWindowKeepsItsFrameAtTheNewEdges)
{
    const Shot& before = shot("scrolled");
    const Shot& after = shot("resized");
    EXPECT_TRUE(has("resized", "size=760x460")) << after.state;
    ASSERT_EQ(after.width(), 760);
    ASSERT_EQ(after.height(), 460);
    // The close button and the bottom band moved with the far edges.
    EXPECT_EQ(after.changed(before, 0, 0, 20, 20), 0);
    int moved = 0;
    for (int y = 8; y < 24; ++y)
        for (int x = 0; x < 16; ++x) moved += after.pixel(744 + x, y) != before.pixel(644 + x, y);
    EXPECT_EQ(moved, 0);
    for (int x = 20; x < 740; x += 40) EXPECT_EQ(after.pixel(x, 455), before.pixel(20, 395)) << x;
}

}
