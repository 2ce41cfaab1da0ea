#include "platform/window/Cursor.h"

#include <gtest/gtest.h>

TEST(Cursor, SystemIdsLoadAndOthersDoNot)
{
    const struct {
        LPCWSTR name;
        WORD id;
    } cases[] = {{IDC_ARROW, 32512}, {IDC_SIZENWSE, 32642}, {IDC_SIZENESW, 32643}, {IDC_SIZEWE, 32644},
                 {IDC_SIZENS, 32645}, {MAKEINTRESOURCEW(32513), 0}, {u"arrow", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(plat::cursor_id(LoadCursorW(nullptr, c.name)), c.id);
    }
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), LoadCursorW(nullptr, IDC_ARROW));
}

TEST(Cursor, HeadlessRemembersTheLastCursorSet)
{
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    HCURSOR we = LoadCursorW(nullptr, IDC_SIZEWE);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(we), arrow);
    EXPECT_EQ(GetCursor(), we);
    EXPECT_EQ(SetCursor(nullptr), we);
    EXPECT_EQ(GetCursor(), nullptr);
}
