// The main window as a person meets it: started from its executable, found on screen,
// every control where the form puts it with the text it shows, the folder dialog, and
// a clean exit when the window closes.

#include "support/GuiDriver.h"

#include <gtest/gtest.h>

namespace {

using gui::Place;
using namespace std::chrono_literals;

std::string Narrow(const std::wstring& wide) {
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                        nullptr);
    return text;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(program.Started()) << "could not start quorvale.exe";
        window = program.WaitForWindow(L"Quorvale");
        ASSERT_NE(window, nullptr) << "the main window did not appear with the caption Quorvale";
    }

    HWND Control(const std::wstring& name) {
        HWND control = gui::FindControl(window, name);
        EXPECT_NE(control, nullptr) << "no control named " << Narrow(name);
        return control;
    }

    gui::RunningProgram program{gui::BuildPath("quorvale.exe")};
    HWND window = nullptr;
};

TEST_F(MainWindowTest, ShowsEveryControlInPlaceWithItsText) {
    struct Expected {
        std::wstring name;
        Place place;  // relative to the window, or to the tab control for its pages
        std::wstring text;
    } expected[] = {
        {L"编辑框1", {6, 21, 360, 25}, L""},
        {L"标签2", {6, 0, 362, 20}, L"请输入URL地址 例:pixwharf.com/main/post/XXX"},
        {L"标签1", {296, 26, 72, 15}, L" 等待URL输入"},
        {L"高级选择夹1", {6, 56, 360, 150}, L""},
        {L"编辑框2", {104, 3, 202, 20}, L"默认桌面"},
        {L"按钮1", {312, 3, 48, 20}, L"浏览"},
        {L"按钮2", {240, 115, 120, 32}, L"开始下载"},
        {L"进度条1", {122, 112, 232, 16}, L""},
        {L"图片框3", {16, 57, 90, 112}, L""},
        {L"图片框1", {200, 88, 50, 50}, L""},
        {L"标签3", {175, 143, 104, 20}, L"等待数据"},
        {L"标签5", {16, 174, 90, 24}, L"Lindqvar图片下载器"},
        {L"按钮3", {16, 200, 80, 20}, L"关于软件"},
    };
    for (const Expected& e : expected) {
        HWND control = Control(e.name);
        if (!control) continue;
        EXPECT_EQ(gui::PlaceOf(control), e.place) << Narrow(e.name);
        EXPECT_EQ(gui::ReadText(control), e.text) << Narrow(e.name);
    }
    EXPECT_EQ(gui::NamedControls(window).size(), std::size(expected));

    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.right - outer.left, 380);
    EXPECT_EQ(outer.bottom - outer.top, 250);

    EXPECT_TRUE(gui::IsEnabled(Control(L"按钮2"))) << "the start button starts enabled";
    EXPECT_EQ(gui::ProgressPosition(Control(L"进度条1")), 50);
}

TEST_F(MainWindowTest, OpensOnTheHomePageWithTheDecorationsOnTop) {
    HWND pages = Control(L"高级选择夹1");
    ASSERT_NE(pages, nullptr);
    EXPECT_TRUE(gui::IsShown(Control(L"按钮2"))) << "page 0 shows first";
    EXPECT_FALSE(gui::IsShown(Control(L"进度条1"))) << "page 1 is hidden";
    // Labels and pictures that lie over the tab control stay visible on any page.
    for (const wchar_t* name : {L"图片框3", L"图片框1", L"标签3", L"标签5"}) {
        EXPECT_TRUE(gui::IsShown(Control(name))) << Narrow(name);
    }
}

TEST_F(MainWindowTest, PaintsTheCheckLabelWhiteOnBlue) {
    HWND label = Control(L"标签1");
    ASSERT_NE(label, nullptr);
    ASSERT_TRUE(gui::WaitUntil([&] { return gui::PixelAt(label, 70, 1) == RGB(70, 145, 235); }, 5s))
        << "background pixel is " << std::hex << gui::PixelAt(label, 70, 1);
}

TEST_F(MainWindowTest, CancelledFolderDialogKeepsTheFolderAndReenablesTheWindow) {
    gui::Click(Control(L"按钮1"));
    HWND dialog = program.WaitForWindowOfClass(L"#32770");
    ASSERT_NE(dialog, nullptr) << "the folder dialog did not open";
    EXPECT_FALSE(gui::IsEnabled(window)) << "the main window is disabled while the dialog is open";
    bool titled = false;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (gui::ReadText(child) == L"选择图片存放位置") titled = true;
    }
    EXPECT_TRUE(titled) << "the dialog shows the title the program gave it";

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(gui::WaitUntil([&] { return gui::IsEnabled(window); }));
    EXPECT_EQ(gui::ReadText(Control(L"编辑框2")), L"默认桌面");
}

TEST_F(MainWindowTest, ClosingTheWindowEndsTheProgramWithExitCodeZero) {
    gui::Close(window);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace
