#include "regex/RegexObject.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

const Text kChinese = "\xD6\xD0\xCE\xC4";  // "中文" in GBK

class Regex : public ::testing::Test {
protected:
    void SetUp() override { InitialiseRegex(regex); }
    void TearDown() override { regex.Destroy(); }
    RegexObject regex;
};

// Whether COM is usable on the calling thread: creating any object tells.
bool ComIsInitialised() { return !CreateAutomationObject("VBScript.RegExp").Empty(); }

TEST_F(Regex, SearchWithoutMatchesStillSucceeds) {
    EXPECT_TRUE(regex.CompileAndExecute("x+", "abc"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.MatchText(1), "");
}

TEST_F(Regex, DefaultsIgnoreCaseMatchLinesAndCollectEverything) {
    ASSERT_TRUE(regex.CompileAndExecute("^ab$", "AB\nab\nxab"));
    ASSERT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(regex.MatchText(1), "AB");
    EXPECT_EQ(regex.MatchText(2), "ab");
}

TEST_F(Regex, EachOptionChangesTheSearch) {
    struct Case {
        const char* what;
        std::optional<bool> caseSensitive, multiline, global;
        std::int32_t count;
    } cases[] = {
        {"defaults", {}, {}, {}, 2},
        {"case sensitive", true, {}, {}, 1},
        {"explicit defaults", false, true, true, 2},
        {"single line", {}, false, {}, 0},
        {"first match only", {}, {}, false, 1},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(regex.CompileAndExecute("^ab$", "AB\nab", c.caseSensitive, c.multiline, c.global))
            << c.what;
        EXPECT_EQ(regex.MatchCount(), c.count) << c.what;
    }
}

TEST_F(Regex, EachCompileStartsFromAFreshEngine) {
    regex.CompileAndExecute("a", "A", true, false, false);
    AutomationObject first = regex.GetEngine();
    regex.CompileAndExecute("a", "aA");
    EXPECT_FALSE(regex.GetEngine() == first);
    EXPECT_EQ(regex.MatchCount(), 2);
}

TEST_F(Regex, InvalidPatternFindsNothing) {
    EXPECT_FALSE(regex.CompileAndExecute("(a", "aaa"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_EQ(regex.SubMatchText(1, 1), "");
    EXPECT_EQ(regex.FirstSubMatchCount(), 0);
}

TEST_F(Regex, QuotePlaceholderStandsForAQuoteOnlyWhenAskedTo) {
    const Text subject = "a\"b a#引号b";
    ASSERT_TRUE(regex.CompileAndExecute("a#引号b", subject));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "a#引号b");
    EXPECT_EQ(regex.GetPattern(), "a#引号b");

    ASSERT_TRUE(regex.CompileAndExecute("a#引号b", subject, {}, {}, {}, true));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), "a\"b");
    EXPECT_EQ(regex.GetPattern(), "a\"b");
}

TEST_F(Regex, SubMatchesAreNumberedFromOneAndEmptyWhenAbsent) {
    ASSERT_TRUE(regex.CompileAndExecute("(x)|(y)(" + kChinese + ")?", "x y" + kChinese + " y"));
    ASSERT_EQ(regex.MatchCount(), 3);
    struct Case {
        std::int32_t match, group;
        Text text;
    } cases[] = {
        {1, 1, "x"},
        {1, 2, ""},  // took no part in the match
        {2, 2, "y"},
        {2, 3, kChinese},
        {3, 3, ""},
        {0, 1, ""},  // indices beyond either end
        {4, 1, ""},
        {1, 4, ""},
        {1, 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(regex.SubMatchText(c.match, c.group), c.text)
            << "match " << c.match << " group " << c.group;
    }
}

TEST_F(Regex, SubMatchPositionIsTheZeroBasedBytePosition) {
    struct Case {
        const char* what;
        Text pattern, subject;
        std::int32_t match;
        Text text;
        std::int32_t position;
    } cases[] = {
        {"second match", "a(b)", "xxab ab", 2, "b", 6},
        {"search starts at the match, not a byte before", "(b)", "bb", 2, "b", 1},
        {"Chinese before the match counts two bytes", "(b)", kChinese + "bb", 2, "b", 5},
        {"looked for with case", "a(a)", "aA", 1, "A", 1},
        {"empty group is not found", "(x)?b", "ab", 1, "", -2},
        {"no such match", "(b)", "b", 2, "", -2},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(regex.CompileAndExecute(c.pattern, c.subject)) << c.what;
        std::int32_t position = static_cast<std::int32_t>(0xdeadbeef);
        EXPECT_EQ(regex.SubMatchText(c.match, 1, &position), c.text) << c.what;
        EXPECT_EQ(position, c.position) << c.what;
    }
}

TEST_F(Regex, PatternReadsBackOnlyWithAnEngine) {
    EXPECT_EQ(regex.GetPattern(), "");
    regex.CompileAndExecute(kChinese + "\\d+", "");
    EXPECT_EQ(regex.GetPattern(), kChinese + "\\d+");
}

TEST_F(Regex, EscapedTextMatchesItselfLiterally) {
    struct Case {
        Text text, escaped;
    } cases[] = {
        {".", "\\."},
        {"\\", "\\\\"},
        {"?", "\\?"},
        {"a*b+", "a*b+"},
        {"\\^-$|{}[]().?", "\\\\\\^\\-\\$\\|\\{\\}\\[\\]\\(\\)\\.\\?"},
        // 81 5C is one character whose second byte is a backslash: left whole.
        {"\x81\x5C.", "\x81\x5C\\."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(regex.EscapeText(c.text), c.escaped) << c.text;
    }

    const Text literal = "a.b(c)?[d]{2}^$|\\-x" + kChinese;
    ASSERT_TRUE(regex.CompileAndExecute(regex.EscapeText(literal), "zz" + literal + "aXb"));
    ASSERT_EQ(regex.MatchCount(), 1);
    EXPECT_EQ(regex.MatchText(1), literal);
}

TEST_F(Regex, EngineCanBeSharedAndReplacedKeepingMatches) {
    RegexObject other;
    InitialiseRegex(other);
    EXPECT_TRUE(other.GetEngine().Empty());

    ASSERT_TRUE(regex.CompileAndExecute("o+", "foo boo"));
    other.SetEngine(regex.GetEngine());
    EXPECT_TRUE(other.GetEngine() == regex.GetEngine());
    EXPECT_EQ(other.GetPattern(), "o+");
    EXPECT_EQ(other.ExecuteAndCount("o oo ooo"), 3);

    // A new engine leaves the previous search's matches in place.
    regex.SetEngine(AutomationObject());
    EXPECT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(regex.MatchText(2), "oo");
    other.Destroy();
}

TEST_F(Regex, TestSubjectSearchesAnotherTextKeepingTheSubject) {
    ASSERT_TRUE(regex.CompileAndExecute("b+", "abba"));
    EXPECT_FALSE(regex.TestSubject("xyz"));
    EXPECT_EQ(regex.MatchCount(), 0);
    EXPECT_TRUE(regex.TestSubject("b bb bbb"));
    EXPECT_EQ(regex.MatchCount(), 3);
    EXPECT_EQ(regex.ReplaceInSubject("-"), "a-a");
}

TEST_F(Regex, SubMatchCountsAndTheCountCache) {
    ASSERT_TRUE(regex.CompileAndExecute("(a)(b)", "ab ab"));
    EXPECT_EQ(regex.FirstSubMatchCount(), 2);
    EXPECT_EQ(regex.CountSubMatches(), 0) << "nothing counted by ExecuteAndCount yet";

    EXPECT_EQ(regex.ExecuteAndCount("ab ab ab"), 3);
    EXPECT_EQ(regex.MatchCount(), 3);
    EXPECT_EQ(regex.CountSubMatches(), 2);
    EXPECT_EQ(regex.ReplaceInSubject("X"), "X X") << "the stored subject stays";

    EXPECT_EQ(regex.ExecuteAndCount("zz"), 0);
    EXPECT_EQ(regex.CountSubMatches(), 0);
    EXPECT_EQ(regex.FirstSubMatchCount(), 0);
}

TEST_F(Regex, ReplaceUsesTheStoredSubjectAndGroupReferences) {
    ASSERT_TRUE(regex.CompileAndExecute("(\\w+)@(\\w+)", "me@host, you@there"));
    EXPECT_EQ(regex.ReplaceInSubject("$2:$1"), "host:me, there:you");
    ASSERT_TRUE(regex.CompileAndExecute("o", "foo"));
    EXPECT_EQ(regex.ReplaceInSubject(kChinese), "f" + kChinese + kChinese);
    regex.Reserved();
    EXPECT_EQ(regex.ReplaceInSubject(""), "f");
}

TEST_F(Regex, CloneSharesEverythingAndItsDestroyLeavesTheOriginalWorking) {
    ASSERT_TRUE(regex.CompileAndExecute("(o+)", "foo boo"));
    regex.ExecuteAndCount("o oo");
    std::unique_ptr<RegexObject> copy = regex.Clone();
    EXPECT_TRUE(copy->GetEngine() == regex.GetEngine());
    EXPECT_EQ(copy->MatchCount(), 2);
    EXPECT_EQ(copy->CountSubMatches(), 1);
    EXPECT_EQ(copy->ReplaceInSubject("0"), "f0 b0");
    copy->Destroy();
    copy.reset();

    EXPECT_TRUE(ComIsInitialised());
    EXPECT_EQ(regex.MatchText(2), "oo");
    EXPECT_TRUE(regex.CompileAndExecute("b", "abc"));
}

// Each part runs on a thread of its own, so that COM starts there uninitialised.
template <typename Body>
void OnFreshThread(Body body) {
    std::thread(body).join();
}

TEST(RegexLifetime, DestroyEndsExactlyTheComUseItBegan) {
    bool during = false, afterClone = false, after = false, afterSecondFinalise = true;
    OnFreshThread([&] {
        auto regex = std::make_unique<RegexObject>();
        InitialiseRegex(*regex);
        during = regex->CompileAndExecute("a", "a") && ComIsInitialised();
        auto copy = regex->Clone();
        copy->Destroy();
        afterClone = ComIsInitialised() && regex->MatchText(1) == "a";
        regex->Destroy();
        after = ComIsInitialised();
        FinaliseRegex(*regex);  // again, and once more when it is deleted
        regex.reset();
        afterSecondFinalise = ComIsInitialised();
    });
    EXPECT_TRUE(during);
    EXPECT_TRUE(afterClone) << "destroying a copy must not end COM for the original";
    EXPECT_FALSE(after) << "Destroy should end the COM initialisation InitialiseRegex began";
    EXPECT_FALSE(afterSecondFinalise);
}

TEST(RegexLifetime, WithoutAnEngineEverythingFailsQuietly) {
    struct Results {
        bool compiled = true, tested = true;
        std::int32_t count = -1, executed = -1, subCount = -1;
        Text match = "?", sub = "?", pattern = "?", replaced = "?";
    } r;
    // COM never initialised on this thread: the engine cannot be created.
    OnFreshThread([&] {
        RegexObject regex;
        r.compiled = regex.CompileAndExecute("a", "aaa");
        r.count = regex.MatchCount();
        r.match = regex.MatchText(1);
        r.sub = regex.SubMatchText(1, 1);
        r.pattern = regex.GetPattern();
        r.tested = regex.TestSubject("a");
        r.executed = regex.ExecuteAndCount("a");
        r.subCount = regex.FirstSubMatchCount();
        r.replaced = regex.ReplaceInSubject("b");
        regex.Destroy();
    });
    EXPECT_FALSE(r.compiled);
    EXPECT_FALSE(r.tested);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(r.executed, 0);
    EXPECT_EQ(r.subCount, 0);
    EXPECT_EQ(r.match, "");
    EXPECT_EQ(r.sub, "");
    EXPECT_EQ(r.pattern, "");
    EXPECT_EQ(r.replaced, "");
}

}  // namespace
