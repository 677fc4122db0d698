// The dispatch helper, driven through the system's "VBScript.RegExp" object.
#include "app/runtime/Automation.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

// "中文" in GBK; as a BSTR it must become U+4E2D U+6587, never the ANSI code page's idea.
const Text kChinese = "\xD6\xD0\xCE\xC4";

class ComThread : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

ULONG ReferenceCount(IDispatch* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(ComThread, CreatesRegExpAndCarriesGbkTextBothWays) {
    AutomationObject regexp = CreateAutomationObject("VBScript.RegExp");
    ASSERT_FALSE(regexp.Empty()) << "VBScript.RegExp did not create, error 0x" << std::hex
                                 << LastAutomationError();
    EXPECT_EQ(LastAutomationError(), S_OK);

    const Text pattern = kChinese + "(a)";
    ASSERT_TRUE(PutProperty(regexp, "Pattern", Variant::FromText(pattern)));
    EXPECT_EQ(GetPropertyText(regexp, "Pattern"), pattern);

    Variant wide = GetPropertyVariant(regexp, "Pattern");
    ASSERT_EQ(wide.Type(), VT_BSTR);
    EXPECT_EQ(std::wstring(wide.Get().bstrVal), L"\u4e2d\u6587(a)");
}

TEST_F(ComThread, FailuresAreQuietAndKeepTheirErrorUntilTheNextCall) {
    AutomationObject regexp = CreateAutomationObject("VBScript.RegExp");
    ASSERT_FALSE(regexp.Empty());

    EXPECT_FALSE(PutProperty(regexp, "Singleline", Variant::FromBool(true)));
    EXPECT_EQ(LastAutomationError(), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(PutProperty(regexp, "Global", Variant::FromBool(true)));
    EXPECT_EQ(LastAutomationError(), S_OK);

    AutomationObject none;
    EXPECT_EQ(CallMethodText(none, "Replace", {Variant::FromText("a"), Variant::FromText("b")}), "");
    EXPECT_EQ(LastAutomationError(), E_POINTER);
    EXPECT_EQ(GetPropertyNumber(none, "Count"), 0);
    EXPECT_TRUE(GetPropertyObject(none, "SubMatches").Empty());
    EXPECT_FALSE(CallMethodBool(none, "Test", {Variant::FromText("a")}));

    EXPECT_TRUE(CreateAutomationObject("Quorvale.NoSuchObject").Empty());
    EXPECT_TRUE(FAILED(LastAutomationError()));
}

TEST_F(ComThread, LastErrorBelongsToEachThread) {
    AutomationObject none;
    CallMethod(none, "Execute");
    ASSERT_EQ(LastAutomationError(), E_POINTER);

    // A thread that never initialised COM cannot create the object at all (no thread of
    // this process is in the multithreaded apartment, which would take it in implicitly).
    bool created = true;
    HRESULT otherError = S_OK;
    std::thread([&] {
        created = !CreateAutomationObject("VBScript.RegExp").Empty();
        otherError = LastAutomationError();
    }).join();
    EXPECT_FALSE(created);
    EXPECT_EQ(otherError, CO_E_NOTINITIALIZED);
    EXPECT_EQ(LastAutomationError(), E_POINTER);
}

TEST_F(ComThread, ArgumentsReachTheMethodInTheirOwnOrder) {
    AutomationObject regexp = CreateAutomationObject("VBScript.RegExp");
    PutProperty(regexp, "Global", Variant::FromBool(true));
    PutProperty(regexp, "Pattern", Variant::FromText("b"));
    // Replace(subject, replacement): swapped arguments would answer "X".
    EXPECT_EQ(CallMethodText(regexp, "Replace", {Variant::FromText("abcabc"), Variant::FromText("X")}),
              "aXcaXc");
    EXPECT_TRUE(CallMethodBool(regexp, "Test", {Variant::FromText("xbx")}));
    EXPECT_FALSE(CallMethodBool(regexp, "Test", {Variant::FromText("xyz")}));

    AutomationObject matches = CallMethodObject(regexp, "Execute", {Variant::FromText("abcb")});
    ASSERT_FALSE(matches.Empty());
    EXPECT_EQ(GetPropertyNumber(matches, "Count"), 2);
    AutomationObject second = CallMethodObject(matches, "Item", {Variant::FromNumber(1)});
    EXPECT_EQ(GetPropertyNumber(second, "FirstIndex"), 3);
}

TEST_F(ComThread, ObjectReferencesCountCopiesAndClears) {
    AutomationObject regexp = CreateAutomationObject("VBScript.RegExp");
    ASSERT_FALSE(regexp.Empty());
    IDispatch* raw = regexp.Get();
    const ULONG alone = ReferenceCount(raw);

    AutomationObject copy = regexp;
    EXPECT_EQ(ReferenceCount(raw), alone + 1);
    EXPECT_TRUE(copy == regexp);
    copy = copy;  // assigning a reference to itself keeps it
    EXPECT_EQ(ReferenceCount(raw), alone + 1);
    AutomationObject moved = std::move(copy);
    EXPECT_TRUE(copy.Empty());
    EXPECT_EQ(ReferenceCount(raw), alone + 1);
    moved.Clear();
    EXPECT_TRUE(moved.Empty());
    EXPECT_EQ(ReferenceCount(raw), alone);

    {
        Variant held = Variant::FromObject(regexp);
        EXPECT_EQ(ReferenceCount(raw), alone + 1);
        AutomationObject back = VariantToObject(held);
        EXPECT_TRUE(back == regexp);
        EXPECT_EQ(ReferenceCount(raw), alone + 2);
    }
    EXPECT_EQ(ReferenceCount(raw), alone);
}

TEST(Variant, ConvertsToTextNumberAndBoolean) {
    struct Case {
        const char* what;
        Variant value;
        Text text;
        double number;
    } cases[] = {
        {"empty", Variant(), "", 0},
        {"integer", Variant::FromInt(-42), "-42", -42},
        {"fraction, no locale separator", Variant::FromNumber(2.5), "2.5", 2.5},
        {"true", Variant::FromBool(true), "-1", -1},
        {"false", Variant::FromBool(false), "0", 0},
        {"numeric text", Variant::FromText("17"), "17", 17},
        {"GBK text", Variant::FromText(kChinese), kChinese, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VariantToText(c.value), c.text) << c.what;
        EXPECT_EQ(VariantToNumber(c.value), c.number) << c.what;
    }
    EXPECT_TRUE(VariantToBool(Variant::FromInt(3)));
    EXPECT_FALSE(VariantToBool(Variant::FromText("no")));
    EXPECT_TRUE(VariantToObject(Variant::FromText("x")).Empty());
}

TEST(Variant, CopiesOwnTheirValueAndClearEmpties) {
    Variant original = Variant::FromText("abc");
    Variant copy = original;
    original.Clear();
    EXPECT_TRUE(original.Empty());
    EXPECT_EQ(VariantToText(copy), "abc");
    Variant assigned;
    assigned = copy;
    copy = Variant::FromInt(1);
    EXPECT_EQ(VariantToText(assigned), "abc");
    // Embedded zero bytes survive: BSTRs are counted.
    EXPECT_EQ(VariantToText(Variant::FromText(Text("a\0b", 3))), Text("a\0b", 3));
}

}  // namespace
