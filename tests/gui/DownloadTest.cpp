// The main job end to end, through the real window: a post address is pasted, the page
// is fetched from the tests' loopback server, the pictures are counted, the start button
// saves them, and every saved file is compared with what the server served.

#include "support/GuiDriver.h"
#include "support/TestServer.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <random>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using testserver::Response;
using testserver::TestServer;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char piece[65536];
    DWORD got = 0;
    while (ReadFile(file, piece, sizeof piece, &got, nullptr) && got > 0) bytes.append(piece, got);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring DesktopFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A fresh, empty folder for one test's pictures, on the desktop of the tests' own
// prefix, where the folder dialog shows it at once.
std::wstring MakeFolder(const std::wstring& name) {
    std::wstring folder = DesktopFolder() + L"\\quorvale-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 1; i <= 20; ++i) DeleteFileW((folder + L"\\" + std::to_wstring(i) + L".jpg").c_str());
    return folder;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Available()) << "the loopback test server is not running";
        ASSERT_TRUE(program.Started());
        window = program.WaitForWindow(L"Quorvale");
        ASSERT_NE(window, nullptr);
        random.seed(static_cast<unsigned>(std::hash<std::string>{}(
            ::testing::UnitTest::GetInstance()->current_test_info()->name())));
    }

    HWND Control(const wchar_t* name) { return gui::FindControl(window, name); }
    std::wstring Text(const wchar_t* name) { return gui::ReadText(Control(name)); }

    // Serves `response` over HTTPS under a new path made from `stem`; returns the address
    // as a post page writes it, //host:port/path, and the path through `path`.
    std::string ServeOverHttps(std::string_view stem, Response response, std::string* path = nullptr) {
        std::string made = testserver::UniquePath(stem) + ".jpg";
        response.scheme = "https";
        EXPECT_TRUE(server.Script(made, response));
        served[made] = response.body;
        if (path) *path = made;
        std::string address = server.HttpsAddress(made);
        return address.substr(address.find("//"));
    }

    // A picture of its own bytes, zeros and high bytes among them.
    std::string ServePicture(std::string_view stem, size_t size = 3000) {
        Response response;
        response.headers = {"Content-Type: image/jpeg"};
        response.body.resize(size);
        for (char& byte : response.body) byte = static_cast<char>(random() & 0xFF);
        return ServeOverHttps(stem, response);
    }

    // A picture that the server answers only after `delayMs`.
    std::string ServeSlowPicture(std::string_view stem, int delayMs, std::string* path = nullptr) {
        Response response;
        response.body = std::string(2000, 's');
        response.delayMs = delayMs;
        return ServeOverHttps(stem, response, path);
    }

    static std::string TagsFor(const std::vector<std::string>& pictures) {
        std::string tags;
        for (const std::string& picture : pictures) {
            tags += "<div class=\"pic\"><img class=\"if_error_show\" "
                    "onerror=\"this.onerror=null;this.style.display='none';\"  src=\"" +
                    picture + "!weblarge\" title=\"t\" alt=\"\xE5\x9B\xBE\" /></div>\n";
        }
        return tags;
    }

    static std::string JsonFor(const std::vector<std::string>& pictures) {
        std::string records = "<script>var post = {\"images\":[";
        for (const std::string& picture : pictures) {
            records += "{\"image\":\"" + picture + "\",\"imageHeight\":600,\"imageWidth\":800},";
        }
        return records + "]};</script>\n";
    }

    // Serves a post page (UTF-8, as the site sends it) and returns its address, which
    // names the site's domain in its path.
    std::string ServePost(const std::string& markup, std::string_view encoding = {}) {
        postPath = testserver::UniquePath("pixwharf.com/main/post");
        Response response;
        response.headers = {"Content-Type: text/html; charset=utf-8"};
        response.body = "<!DOCTYPE html><html><head><title>\xE5\xB8\x96\xE5\xAD\x90</title></head><body>\n" +
                        markup + "</body></html>\n";
        response.encoding = std::string(encoding);
        EXPECT_TRUE(server.Script(postPath, response));
        return server.HttpAddress(postPath);
    }

    void Paste(const std::string& address) { gui::SetEditText(Control(L"编辑框1"), Widen(address)); }

    bool WaitForFinish(std::chrono::milliseconds timeout = 60s) {
        return gui::WaitUntil([&] { return Text(L"标签3").rfind(L"下载完毕", 0) == 0; }, timeout);
    }

    void StartAndFinish() {
        gui::Click(Control(L"按钮2"));
        ASSERT_TRUE(WaitForFinish()) << "status is " << std::string(Text(L"标签3").begin(), Text(L"标签3").end());
    }

    // Every picture saved in `folder` under its number, byte for byte.
    void ExpectSaved(const std::wstring& folder, const std::vector<std::string>& pictures) {
        for (size_t i = 0; i < pictures.size(); ++i) {
            std::wstring path = folder + L"\\" + std::to_wstring(i + 1) + L".jpg";
            std::string servedPath = pictures[i].substr(pictures[i].find('/', 2));
            servedPath = servedPath.substr(0, servedPath.find('?'));
            auto saved = ReadFileBytes(path);
            ASSERT_TRUE(saved.has_value()) << "picture " << i + 1 << " was not saved";
            EXPECT_TRUE(*saved == served[servedPath]) << "picture " << i + 1 << " differs from what was served";
        }
        EXPECT_FALSE(ReadFileBytes(folder + L"\\" + std::to_wstring(pictures.size() + 1) + L".jpg").has_value())
            << "no file beyond the last picture";
    }

    void ChooseFolder(const std::wstring& folder) {
        gui::Click(Control(L"按钮1"));
        HWND dialog = program.WaitForWindowOfClass(L"#32770");
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(program.ChooseFolderInDialog(dialog, folder));
        ASSERT_TRUE(gui::WaitUntil([&] { return Text(L"编辑框2") == folder; }))
            << "the folder box shows " << Narrow(Text(L"编辑框2")) << ", not the chosen " << Narrow(folder);
    }

    const TestServer& server = TestServer::Instance();
    gui::RunningProgram program{gui::BuildPath("quorvale.exe")};
    HWND window = nullptr;
    std::mt19937 random;
    std::map<std::string, std::string> served;  // path -> bytes
    std::string postPath;
};

TEST_F(DownloadTest, SavesEveryTaggedPictureOfAPostOntoTheDesktop) {
    // The second address carries a query, as picture services' addresses often do.
    std::vector<std::string> pictures = {ServePicture("tags"), ServePicture("tags", 70000) + "?w=1080",
                                         ServePicture("tags")};
    std::wstring desktop = DesktopFolder();
    for (int i = 1; i <= 4; ++i) DeleteFileW((desktop + L"\\" + std::to_wstring(i) + L".jpg").c_str());

    Paste(ServePost(TagsFor(pictures)));
    EXPECT_EQ(Text(L"标签1"), L" 网址正确");
    EXPECT_EQ(gui::PixelAt(Control(L"标签1"), 70, 1), RGB(70, 178, 70));
    EXPECT_EQ(Text(L"标签3"), L"发现图片3");
    EXPECT_TRUE(gui::IsEnabled(Control(L"按钮2")));

    auto page = server.LastRequest(postPath);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->method, "GET");
    EXPECT_EQ(page->version, "HTTP/1.1");
    EXPECT_FALSE(page->Header("Cookie").has_value());

    StartAndFinish();
    EXPECT_EQ(Text(L"标签3"), L"下载完毕");
    EXPECT_EQ(gui::ProgressPosition(Control(L"进度条1")), 100);
    EXPECT_TRUE(gui::IsShown(Control(L"按钮2"))) << "back on the home page";
    ExpectSaved(desktop, pictures);

    std::string first = pictures[0].substr(pictures[0].find('/', 2));
    auto picture = server.LastRequest(first);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->scheme, "https");
    EXPECT_EQ(picture->version, "HTTP/1.0");
    EXPECT_EQ(picture->Header("User-Agent").value_or(""), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    EXPECT_EQ(picture->Header("Accept").value_or(""), "*/*");
    std::string second = pictures[1].substr(pictures[1].find('/', 2));
    EXPECT_EQ(server.LastRequest(second.substr(0, second.find('?')))->target, second)
        << "the query goes out with the picture's path";
    for (int i = 1; i <= 3; ++i) DeleteFileW((desktop + L"\\" + std::to_wstring(i) + L".jpg").c_str());
}

TEST_F(DownloadTest, FindsPicturesByTheirMarkup) {
    std::vector<std::string> tagged = {ServePicture("mix"), ServePicture("mix")};
    std::vector<std::string> recorded = {ServePicture("json"), ServePicture("json"), ServePicture("json")};
    std::string twice = ServePicture("twice");
    struct Case {
        const char* what;
        std::string markup;
        std::vector<std::string> expected;
    } cases[] = {
        {"JSON records only", JsonFor(recorded), recorded},
        {"tags and JSON: only the tags", JsonFor(recorded) + TagsFor(tagged), tagged},
        {"the same picture twice", TagsFor({twice, twice}), {twice, twice}},
        {"no pictures", "<p>nothing here</p>", {}},
    };
    std::wstring folder = MakeFolder(L"markup");
    ChooseFolder(folder);
    for (const Case& c : cases) {
        MakeFolder(L"markup");  // empties it
        Paste(ServePost(c.markup));
        EXPECT_EQ(Text(L"标签3"), L"发现图片" + std::to_wstring(c.expected.size())) << c.what;
        StartAndFinish();
        EXPECT_EQ(Text(L"标签3"), L"下载完毕") << c.what;
        ExpectSaved(folder, c.expected);
    }
}

TEST_F(DownloadTest, AnAddressWithoutTheSiteFetchesNothing) {
    std::string path = testserver::UniquePath("elsewhere/main/post");
    Paste(server.HttpAddress(path));
    EXPECT_EQ(Text(L"标签1"), L" 请检查网址");
    EXPECT_EQ(gui::PixelAt(Control(L"标签1"), 70, 1), RGB(255, 0, 0));
    EXPECT_EQ(Text(L"标签3"), L"等待数据");
    EXPECT_EQ(server.RequestCount(path), 0);

    // The check is case-sensitive: the domain in capitals does not name the site.
    std::string upper = testserver::UniquePath("PIXWHARF.COM/main/post");
    Paste(server.HttpAddress(upper));
    EXPECT_EQ(Text(L"标签1"), L" 请检查网址");
    EXPECT_EQ(server.RequestCount(upper), 0);
}

TEST_F(DownloadTest, AnUnreachablePostFindsNoPicturesAndStartFinishesAtOnce) {
    Paste("http://127.0.0.1:9/pixwharf.com/main/post/1");
    EXPECT_EQ(Text(L"标签1"), L" 网址正确");
    EXPECT_EQ(Text(L"标签3"), L"发现图片0");
    EXPECT_TRUE(gui::IsEnabled(Control(L"按钮2")));
    StartAndFinish();
    EXPECT_EQ(Text(L"标签3"), L"下载完毕");
}

TEST_F(DownloadTest, ReadsAGzipEncodedPostPage) {
    std::vector<std::string> pictures = {ServePicture("gz"), ServePicture("gz")};
    Paste(ServePost(TagsFor(pictures), "gzip"));
    EXPECT_EQ(Text(L"标签3"), L"发现图片2");
}

TEST_F(DownloadTest, ReadsAPostServedOverHttps) {
    std::vector<std::string> pictures = {ServePicture("secure")};
    std::string address = ServePost(TagsFor(pictures));
    Paste(server.HttpsAddress(postPath));
    EXPECT_EQ(Text(L"标签3"), L"发现图片1");
    EXPECT_EQ(server.LastRequest(postPath)->scheme, "https");
}

TEST_F(DownloadTest, AFailedPictureWritesNoFileAndIsCountedInTheStatus) {
    std::wstring folder = MakeFolder(L"failures");
    std::string good = ServePicture("ok");
    Response notFound;
    notFound.status = 404;
    notFound.body = "<html>not found</html>";
    std::string missing = ServeOverHttps("missing", notFound);
    Response broken;
    broken.body = std::string(50000, 'x');
    broken.dropAfter = 1000;
    std::string cut = ServeOverHttps("broken", broken);
    // An earlier download's files of those numbers stay as they were.
    WriteFileBytes(folder + L"\\2.jpg", "earlier two");
    WriteFileBytes(folder + L"\\3.jpg", "earlier three");

    Paste(ServePost(TagsFor({good, missing, cut})));
    EXPECT_EQ(Text(L"标签3"), L"发现图片3");
    ChooseFolder(folder);
    StartAndFinish();
    EXPECT_EQ(Text(L"标签3"), L"下载完毕 失败2");
    EXPECT_EQ(gui::ProgressPosition(Control(L"进度条1")), 100);
    EXPECT_EQ(ReadFileBytes(folder + L"\\1.jpg"), served[good.substr(good.find('/', 2))]);
    EXPECT_EQ(ReadFileBytes(folder + L"\\2.jpg"), "earlier two");
    EXPECT_EQ(ReadFileBytes(folder + L"\\3.jpg"), "earlier three");
}

TEST_F(DownloadTest, ADownloadKeepsItsOwnListAndRefusesASecondStart) {
    std::wstring folder = MakeFolder(L"running");
    std::string slowPath;
    std::string slowAddress = ServeSlowPicture("slow", 1500, &slowPath);
    std::string fast = ServePicture("fast");

    Paste(ServePost(TagsFor({slowAddress, fast})));
    ChooseFolder(folder);
    gui::Click(Control(L"按钮2"));
    ASSERT_TRUE(gui::WaitUntil([&] { return Text(L"标签3") == L"下载开始1/2"; }, 10s));
    EXPECT_TRUE(gui::IsShown(Control(L"进度条1"))) << "the download page shows during a download";

    // A second press and a new discovery while the first download runs.
    gui::Click(Control(L"按钮2"));
    std::vector<std::string> other = {ServePicture("other")};
    Paste(ServePost(TagsFor(other)));

    ASSERT_TRUE(WaitForFinish());
    EXPECT_EQ(Text(L"标签3"), L"下载完毕");
    EXPECT_EQ(server.RequestCount(slowPath), 1) << "only one download ran";
    EXPECT_EQ(ReadFileBytes(folder + L"\\1.jpg"), served[slowPath]);
    EXPECT_EQ(ReadFileBytes(folder + L"\\2.jpg"), served[fast.substr(fast.find('/', 2))]);
}

TEST_F(DownloadTest, ClosingTheWindowDuringADownloadEndsTheProgramCleanly) {
    Paste(ServePost(TagsFor({ServeSlowPicture("closing", 3000)})));
    ChooseFolder(MakeFolder(L"closing"));
    gui::Click(Control(L"按钮2"));
    ASSERT_TRUE(gui::WaitUntil([&] { return Text(L"标签3") == L"下载开始1/1"; }, 10s));
    gui::Close(window);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace
