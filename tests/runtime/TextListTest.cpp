#include "app/runtime/TextList.h"

#include "app/runtime/FatalError.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace {

TEST(TextList, CountsFromOneAndGrows) {
    TextList list;
    EXPECT_EQ(list.Count(), 0);
    list.Append("a");
    list.Append("b");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(1), "a");
    EXPECT_EQ(list.At(2), "b");
    list.At(2) = "c";
    EXPECT_EQ(list.At(2), "c");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(SplitText, KeepsInnerEmptyPiecesButNoTrailingOne) {
    struct Case {
        Text text, separator;
        TextList pieces;
    } cases[] = {
        {"a; b;c", ";", {"a", " b", "c"}},
        {"a;;b", ";", {"a", "", "b"}},
        {"a;b;", ";", {"a", "b"}},
        {"", ";", {}},
        {";", ";", {""}},
        {"a\r\nb\r\n", "\r\n", {"a", "b"}},
        {"abc", ";", {"abc"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitText(c.text, c.separator), c.pieces) << c.text;
}

// Reading outside a list is the runtime's fatal error: the program shows its message
// and ends with the fatal exit code.
void PrintToStderr(TextView message) { fprintf(stderr, "%.*s\n", int(message.size()), message.data()); }

TEST(TextListDeathTest, IndexOutOfRangeEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int index : {0, 2, -1}) {
        TextList list{"only"};
        EXPECT_EXIT(
            {
                SetFatalErrorPresenter(PrintToStderr);
                (void)list.At(index);
            },
            ::testing::ExitedWithCode(FatalErrorExitCode), NumberToText(index))
            << "index " << index;
    }
}

}  // namespace
