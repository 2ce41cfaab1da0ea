#include "core/update/UpdateReply.h"

#include <gtest/gtest.h>

#include <optional>

TEST(UpdateReply, ReadsOnlyAWholeObjectOfStrings)
{
    const struct {
        const char* text;
        std::optional<UpdateInfo> expected;
    } cases[] = {
        {R"({"v":"2.0","u":"http://h/x.exe","s":"QUJD"})", UpdateInfo{"2.0", "http://h/x.exe", "QUJD"}},
        {R"( { v : "2.0" , u:"", s:"c2ln", note:"extra" } )", UpdateInfo{"2.0", "", "c2ln"}},
        {R"({"v":"2\u00e9\"\\\/","u":"","s":""})", UpdateInfo{"2\xC3\xA9\"\\/", "", ""}},
        {R"({"v":"2.0","u":"x"})", std::nullopt},                                    // no signature
        {R"({"v":"2.0","u":"x","s":"y","v":"3.0"})", std::nullopt},                  // twice
        {R"({"v":2,"u":"x","s":"y"})", std::nullopt},                                // not a string
        {R"({"v":"2.0","u":"x","s":"y"} ; alert(1))", std::nullopt},                 // text after it
        {R"({"v":"2.0","u":"x","s":"y",})", std::nullopt},                           // trailing comma
        {R"({"v":'2.0',"u":"x","s":"y"})", std::nullopt},                            // single quotes
        {R"({"v":"2.0","u":"x","s":"y")", std::nullopt},                             // unclosed
        {R"({"v":"2.0","u":"x","s":"y\q"})", std::nullopt},                          // bad escape
        {R"({"v":"a\u0000b","u":"x","s":"y"})", std::nullopt},                       // zero inside
        {"{\"v\":\"2\n0\",\"u\":\"x\",\"s\":\"y\"}", std::nullopt},                  // raw line break
        {R"({"v":(function(){return "2"})(),"u":"x","s":"y"})", std::nullopt},       // script
        {"", std::nullopt},
        {"<html>404</html>", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        UpdateInfo info{"old", "old", "old"};
        const bool ok = ParseUpdateReply(c.text, info);
        ASSERT_EQ(ok, c.expected.has_value());
        const UpdateInfo& want = c.expected ? *c.expected : UpdateInfo{"old", "old", "old"};
        EXPECT_EQ(info.v, want.v);
        EXPECT_EQ(info.u, want.u);
        EXPECT_EQ(info.s, want.s);
    }
}
