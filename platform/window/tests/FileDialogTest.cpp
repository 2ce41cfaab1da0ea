#include "platform/window/FileDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Plays the user: records what the chooser was asked and answers as told.
struct ScriptedChooser {
    std::vector<std::vector<std::string>> asked;
    std::optional<plat::ProgramOutput> answer;

    ScriptedChooser()
    {
        plat::set_chooser_runner([this](const std::vector<std::string>& args) {
            asked.push_back(args);
            return answer;
        });
    }
    ~ScriptedChooser() { plat::set_chooser_runner(nullptr); }
};

// The play logic's filters, the ninth ("All Files") selected.
constexpr char16_t media_filters[] = u"MPEG files(.mpg,.mpeg,.mp4)\0*.mpg;*.mpeg;*.mp4\0"
                                     u"Music files(.mp3,.wma,.wav)\0*.mp3;*.wma;*.wav\0"
                                     u"Flash Files(.flv)\0*.flv\0"
                                     u"RealPlayer Files(.rm,.rmvb)\0*.rm;*.rmvb\0"
                                     u"QuickTime Files(.mov)\0*.mov\0"
                                     u"Microsoft Files(.avi,.asf,.wmv)\0*.avi;*.wmv;*.asf\0"
                                     u"MKV Files(.mkv)\0*.mkv\0"
                                     u"Divx Files(.divx)\0*.divx;*.xvid\0"
                                     u"All Files(*.*)\0*.*\0";

OPENFILENAMEW open_dialog(WCHAR* buffer, DWORD size, DWORD index)
{
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = media_filters;
    ofn.nFilterIndex = index;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_FILEMUSTEXIST;
    return ofn;
}

}

TEST(FileDialog, OpenFileAsksTheChooserWithTheFiltersTheSelectedOneFirst)
{
    ScriptedChooser chooser;
    chooser.answer = plat::ProgramOutput{0, "/home/me/My Videos/clip é.flv\n"};
    WCHAR path[MAX_PATH] = u"";
    OPENFILENAMEW ofn = open_dialog(path, MAX_PATH, 9);
    ofn.lpstrInitialDir = u"/home/me";
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(path), u"/home/me/My Videos/clip é.flv");

    const std::vector<std::string> expected = {
        "zenity",
        "--file-selection",
        "--filename=/home/me/",
        "--file-filter=All Files(*.*) | *",
        "--file-filter=MPEG files(.mpg,.mpeg,.mp4) | *.mpg *.MPG *.mpeg *.MPEG *.mp4 *.MP4",
        "--file-filter=Music files(.mp3,.wma,.wav) | *.mp3 *.MP3 *.wma *.WMA *.wav *.WAV",
        "--file-filter=Flash Files(.flv) | *.flv *.FLV",
        "--file-filter=RealPlayer Files(.rm,.rmvb) | *.rm *.RM *.rmvb *.RMVB",
        "--file-filter=QuickTime Files(.mov) | *.mov *.MOV",
        "--file-filter=Microsoft Files(.avi,.asf,.wmv) | *.avi *.AVI *.wmv *.WMV *.asf *.ASF",
        "--file-filter=MKV Files(.mkv) | *.mkv *.MKV",
        "--file-filter=Divx Files(.divx) | *.divx *.DIVX *.xvid *.XVID",
    };
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0], expected);

    // The third selected: it leads, the rest keep their order.
    ofn = open_dialog(path, MAX_PATH, 3);
    ofn.lpstrTitle = u"Open";
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    const std::vector<std::string>& third = chooser.asked[1];
    ASSERT_EQ(third.size(), 12u);
    EXPECT_EQ(third[2], "--title=Open");
    EXPECT_EQ(third[3], "--file-filter=Flash Files(.flv) | *.flv *.FLV");
    EXPECT_EQ(third[4].substr(0, 24), "--file-filter=MPEG files");
    EXPECT_EQ(third[5].substr(0, 25), "--file-filter=Music files");
    EXPECT_EQ(third[6].substr(0, 24), "--file-filter=RealPlayer");
}

TEST(FileDialog, WhatTheUserDidDecidesTheResult)
{
    const struct {
        const char* what;
        std::optional<plat::ProgramOutput> answer;
        DWORD buffer;
        BOOL result;
        std::u16string path;
    } cases[] = {
        {"chosen", plat::ProgramOutput{0, "/a/b.mp4\n"}, MAX_PATH, TRUE, u"/a/b.mp4"},
        {"exactly fits", plat::ProgramOutput{0, "/a/b.mp4\n"}, 9, TRUE, u"/a/b.mp4"},
        {"too long for the buffer", plat::ProgramOutput{0, "/a/b.mp4\n"}, 8, FALSE, u"untouched"},
        {"cancelled", plat::ProgramOutput{1, ""}, MAX_PATH, FALSE, u"untouched"},
        {"chooser failed", plat::ProgramOutput{5, "/a/b.mp4\n"}, MAX_PATH, FALSE, u"untouched"},
        {"not a path", plat::ProgramOutput{0, "Gtk-WARNING\n"}, MAX_PATH, FALSE, u"untouched"},
        {"no chooser installed", std::nullopt, MAX_PATH, FALSE, u"untouched"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedChooser chooser;
        chooser.answer = c.answer;
        WCHAR path[MAX_PATH] = u"untouched";
        OPENFILENAMEW ofn = open_dialog(path, c.buffer, 1);
        EXPECT_EQ(GetOpenFileNameW(&ofn), c.result);
        EXPECT_EQ(std::u16string(path), c.path);
    }
    EXPECT_FALSE(GetOpenFileNameW(nullptr));
}

TEST(FileDialog, FolderChooserOpensAtTheCurrentFolder)
{
    ScriptedChooser chooser;
    chooser.answer = plat::ProgramOutput{0, "/media/stick/films\n"};
    EXPECT_EQ(plat::choose_folder(u"Please select path!", "/home/me/Videos"), "/media/stick/films");
    const std::vector<std::string> expected = {"zenity", "--file-selection", "--directory",
                                               "--title=Please select path!", "--filename=/home/me/Videos/"};
    ASSERT_EQ(chooser.asked.size(), 1u);
    EXPECT_EQ(chooser.asked[0], expected);

    chooser.answer = plat::ProgramOutput{1, ""};
    EXPECT_FALSE(plat::choose_folder(u"", ""));
    EXPECT_EQ(chooser.asked[1], (std::vector<std::string>{"zenity", "--file-selection", "--directory"}));
}
