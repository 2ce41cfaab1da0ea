#include "Recorder.h"

#include "platform/window/Clipboard.h"

#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ClipboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"ClipboardTest", recording_proc, 0);
        m_hwnd = CreateWindowExW(0, u"ClipboardTest", u"clipboard", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
    }
    void TearDown() override { DestroyWindow(m_hwnd); }

    // Copies as a text field does: a zeroed block, the characters, CF_UNICODETEXT.
    bool copy(std::u16string_view text, std::size_t extra_units = 1)
    {
        if (!OpenClipboard(m_hwnd)) return false;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + extra_units) * sizeof(char16_t));
        std::memcpy(GlobalLock(block), text.data(), text.size() * sizeof(char16_t));
        GlobalUnlock(block);
        EmptyClipboard();
        const bool set = SetClipboardData(CF_UNICODETEXT, block) == block;
        if (!set) GlobalFree(block);
        CloseClipboard();
        return set;
    }

    std::optional<std::u16string> paste()
    {
        if (!OpenClipboard(m_hwnd)) return std::nullopt;
        std::optional<std::u16string> text;
        if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const char16_t*>(GlobalLock(block));
            GlobalUnlock(block);
        }
        CloseClipboard();
        return text;
    }

    HWND m_hwnd = nullptr;
};

}

TEST_F(ClipboardTest, UnicodeTextRoundTripsAndOthersSeeUtf8)
{
    const std::u16string text = u"Grüße, 中文 and 😀";
    ASSERT_TRUE(copy(text));
    EXPECT_EQ(paste(), text);
    std::unique_ptr<char, decltype(&SDL_free)> seen(SDL_GetClipboardText(), &SDL_free);
    EXPECT_STREQ(seen.get(), "Gr\xC3\xBC\xC3\x9F" "e, \xE4\xB8\xAD\xE6\x96\x87 and \xF0\x9F\x98\x80");
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));

    SDL_SetClipboardText("from another program: \xC3\xA9");
    EXPECT_EQ(paste(), u"from another program: é");
}

TEST_F(ClipboardTest, TextEndsAtTheFirstZeroOrTheBlocksEnd)
{
    ASSERT_TRUE(copy(std::u16string(u"cut\0here", 8)));
    EXPECT_EQ(paste(), u"cut");
    ASSERT_TRUE(copy(u"no terminator", 0));
    EXPECT_EQ(paste(), u"no terminator");
}

TEST_F(ClipboardTest, OnlyTheOpenerUsesItAndOnlyUnicodeText)
{
    ASSERT_TRUE(OpenClipboard(m_hwnd));
    BOOL opened_elsewhere = TRUE;
    HGLOBAL read_elsewhere = reinterpret_cast<HGLOBAL>(1);
    plat::Thread other;
    other.start([&] {
        opened_elsewhere = OpenClipboard(nullptr);
        read_elsewhere = GetClipboardData(CF_UNICODETEXT);
        return DWORD{0};
    });
    other.join();
    EXPECT_FALSE(opened_elsewhere);
    EXPECT_EQ(read_elsewhere, nullptr);
    HGLOBAL block = GlobalAlloc(GHND, 8);
    EXPECT_EQ(SetClipboardData(1 /* CF_TEXT */, block), nullptr);
    EXPECT_EQ(GetClipboardData(1), nullptr);
    EXPECT_EQ(GlobalFree(block), nullptr);
    EXPECT_EQ(GlobalFree(block), block) << "a freed block is unknown";
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr) << "closed";
}
