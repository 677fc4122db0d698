#include "web/Cookies.h"

#include <gtest/gtest.h>

namespace {

TEST(Cookies, MergeCookies) {
    struct Case {
        const char* sent;
        const char* received;
        const char* merged;
    };
    const Case cases[] = {
        {"a=1; b=2", "a=3", "a=3; b=2"},
        {"", "a=1; b=2", "a=1; b=2"},
        {"a=1; b=2", "", "a=1; b=2"},
        {"", "", ""},
        {"a=1", "a=deleted", ""},
        {"a=1", "a=", ""},                     // an emptied value removes the cookie
        {"a=1", "a=DELETED", "a=DELETED"},     // the deleted marker is case-sensitive
        {"", "x=1; x=1", "x=1"},
        {"", "x=1; x=2", "x=1; x=2"},
        {"a=1; a=2", "", "a=1"},               // only the first old item of a name is carried
        {"a=hello world", "", "a=helloworld"},
        {"flag; a=1", "", "flag; a=1"},        // a bare name stays
        {"a=1;b=2;", "c=3 ;", "c=3; a=1; b=2"},
        {"a=1; b=2; c=3", "b=9; a=deleted", "b=9; c=3"},
        {"a==", "", "a=="},
        {"会话=值1", "会话=值2", "会话=值2"},
        {"\xA1\xA1" "a=1\xA1\xA1", "", "a=1"},  // full-width spaces go too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sent) + " + " + c.received);
        Text sent = c.sent;
        Text received = c.received;
        EXPECT_EQ(MergeCookies(sent, received), c.merged);
        EXPECT_EQ(sent, c.merged) << "the sent cookies take the merged text";
        EXPECT_EQ(received, RemoveSpaces(c.received)) << "the received cookies lose their spaces";
    }
}

TEST(Cookies, CookieNameAndValue) {
    struct Case {
        const char* item;
        const char* name;
        bool hasValue;
    };
    const Case cases[] = {
        {"a=1", "a", true},   {" a = 1 ", "a", true}, {"a==", "a", true}, {"a=", "a", false},
        {" a= ", "a", false}, {"a", "a", true},       {"=1", "", true},   {"=", "", false},
        {"a=b=", "a", true},  {"", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        EXPECT_EQ(CookieName(c.item), c.name);
        EXPECT_EQ(CookieHasValue(c.item), c.hasValue);
    }
}

TEST(Cookies, ListRoutines) {
    const TextList list{"a=1", " b =2", "c"};
    EXPECT_TRUE(HasCookieNamed(list, "b"));
    EXPECT_TRUE(HasCookieNamed(list, "c"));
    EXPECT_FALSE(HasCookieNamed(list, "A"));
    EXPECT_FALSE(HasCookieNamed(TextList{}, ""));

    EXPECT_EQ(IndexOfText(list, "c"), 3);
    EXPECT_EQ(IndexOfText(list, "b =2"), -1);
    EXPECT_EQ(IndexOfText(TextList{"x", "x"}, "x"), 1);

    EXPECT_EQ(JoinDistinct("a; b; a; c; b", "; "), "a; b; c");
    EXPECT_EQ(JoinDistinct("", "; "), "");
    EXPECT_EQ(JoinDistinct("a;;a", ";"), "a;");  // the empty piece is kept once
}

}  // namespace
