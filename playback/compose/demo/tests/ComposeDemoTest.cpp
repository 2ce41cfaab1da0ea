// Clips made by ffmpeg played through the video engine, the video renderer,
// the video source and the compose server: frames presented on the
// renderer's streaming thread while the compose thread draws them (also under
// ThreadSanitizer, label playback-tsan). The frames stay under
// artifacts/compose-*.png for a look.

#include "playback/compose/demo/ComposeDemo.h"

#include "platform/d3d9/ImageFile.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr UINT width = 640;
constexpr UINT height = 360;
constexpr std::uint32_t background = 0xff121212;   // what the renderer clears a frame to
// 4:3 letterboxed into the frame less a margin of 16 pixels.
constexpr RECT picture_place{101, 16, 538, 344};

bool reddish(std::uint32_t argb)
{
    return ((argb >> 16) & 0xFF) > 0xC0 && ((argb >> 8) & 0xFF) < 0x40 && (argb & 0xFF) < 0x40;
}

class ComposeDemoTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR,
                                           {FILTERS_MODULE, QUANDREL_MODULE, MOSSVEIL_MODULE, EFFECTS_MODULE}));
        std::filesystem::create_directories(ARTIFACTS);
    }

    std::string make_clip(const std::string& name, const std::string& inputs)
    {
        const std::string clip = m_folder / name;
        const std::string command = "ffmpeg -nostdin -loglevel error -y " + inputs + " '" + clip + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return clip;
    }
    std::string red_clip()
    {
        return make_clip("red.mkv", "-f lavfi -i color=c=red:size=160x120:rate=25:duration=2 "
                                    "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 "
                                    "-c:v mpeg4 -c:a libmp3lame -ac 2");
    }

    static void expect_place(const RECT& got)
    {
        EXPECT_EQ(got.left, picture_place.left);
        EXPECT_EQ(got.top, picture_place.top);
        EXPECT_EQ(got.right, picture_place.right);
        EXPECT_EQ(got.bottom, picture_place.bottom);
    }
    static std::uint32_t at(const ComposeDemo& demo, LONG x, LONG y) { return demo.last_frame()[y * width + x]; }
    static void save(const ComposeDemo& demo, const std::string& name)
    {
        std::string error;
        EXPECT_TRUE(demo.save_png(std::string(ARTIFACTS) + "/" + name, error)) << error;
    }

    plat::TemporaryRegistry m_registry;
    plat::TempFolder m_folder;
};

TEST_F(ComposeDemoTest, ARedClipShowsRedWhereTheVideoLies)
{
    const std::string clip = red_clip();
    ComposeDemo demo(width, height);
    const ComposeDemoReport report = demo.play(clip, 30000);
    save(demo, "compose-video.png");

    EXPECT_TRUE(report.complete);
    EXPECT_TRUE(report.video);
    EXPECT_GE(report.presented, 25) << "two seconds at 25 frames a second";
    EXPECT_GE(report.drawn, 10);
    EXPECT_LE(report.drawn, report.presented) << "a frame is drawn only after one was presented";
    expect_place(report.picture);
    const RECT& p = picture_place;
    const struct {
        LONG x, y;
        bool red;
    } probes[] = {{(p.left + p.right) / 2, (p.top + p.bottom) / 2, true},
                  {p.left + 2, p.top + 2, true},
                  {p.right - 3, p.bottom - 3, true},
                  {p.left - 4, height / 2, false},
                  {p.right + 4, height / 2, false},
                  {4, 4, false}};
    for (const auto& probe : probes) {
        SCOPED_TRACE(testing::Message() << probe.x << ", " << probe.y);
        const std::uint32_t pixel = at(demo, probe.x, probe.y);
        if (probe.red) EXPECT_TRUE(reddish(pixel)) << std::hex << pixel;
        else EXPECT_EQ(pixel, background) << std::hex << pixel;
    }
}

TEST_F(ComposeDemoTest, SoundAloneShowsTheEffectChangingFromFrameToFrame)
{
    // 440 Hz moves two thirds of a period from one frame's position to the next
    // (a tone of a whole number of periods per frame would look still).
    const std::string clip = make_clip("tone.wav", "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 "
                                                   "-ac 2 -c:a pcm_s16le");
    ComposeDemo demo(width, height);
    const ComposeDemoReport report = demo.play(clip, 30000);
    save(demo, "compose-visualisation.png");

    EXPECT_TRUE(report.complete);
    EXPECT_FALSE(report.video);
    EXPECT_EQ(report.presented, 0);
    EXPECT_GE(report.drawn, 10) << "the sound is drawn each frame while it plays";
    EXPECT_GE(report.changed, report.drawn / 2) << "the waveform moves with the sound";
    expect_place(report.picture);
    // The effect drew more than a plain fill into its picture, and nothing outside it.
    const RECT& p = picture_place;
    int unlike_corner = 0;
    for (LONG y = p.top; y < p.bottom; ++y)
        for (LONG x = p.left; x < p.right; ++x) unlike_corner += at(demo, x, y) != at(demo, p.left, p.top);
    EXPECT_GT(unlike_corner, (p.right - p.left) * 4) << "a line across the picture at least";
    EXPECT_EQ(at(demo, p.left - 4, height / 2), background);
}

TEST_F(ComposeDemoTest, TheProgramSavesTheFrameAndPrintsTheComposeThreadsShare)
{
    const std::string clip = red_clip();
    const std::string png = m_folder / "out.png";
    const std::string output = m_folder / "out.txt";
    ASSERT_EQ(std::system((std::string(COMPOSE_DEMO) + " '" + clip + "' '" + png + "' > '" + output + "'").c_str()), 0);

    std::string printed(4096, '\0');
    FILE* file = std::fopen(output.c_str(), "r");
    ASSERT_NE(file, nullptr);
    printed.resize(std::fread(printed.data(), 1, printed.size(), file));
    std::fclose(file);
    EXPECT_NE(printed.find(": video;"), std::string::npos) << printed;
    EXPECT_NE(printed.find("compose thread CPU: "), std::string::npos) << printed;
    EXPECT_NE(printed.find("while playing, "), std::string::npos) << printed;

    plat::DecodedImage image;
    std::string error;
    ASSERT_TRUE(plat::decode_image_file(png, image, error)) << error;
    ASSERT_EQ(image.width, int(width));
    ASSERT_EQ(image.height, int(height));
    EXPECT_TRUE(reddish(image.pixels[(height / 2) * width + width / 2]));
    EXPECT_EQ(image.pixels[4 * width + 4], background);
}

}
