// Not a test: times the program's own download of pictures served from loopback, and the
// discovery of a large post page, for tools/bench_download.sh. Prints one line a figure:
//   discovery <seconds>           paste of the address to the count shown (1 MB, 200 pictures)
//   download <set> <seconds>      press of the start button to "下载完毕"
//   address <set> <url>           the picture addresses, for the reference run with curl

#include "support/GuiDriver.h"
#include "support/TestServer.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Tag(const std::string& address) {
    return "<img class=\"if_error_show\" onerror=\"this.onerror=null;this.style.display='none';\"  src=\"" +
           address + "!weblarge\" title=\"t\" alt=\"a\" />\n";
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);  // figures reach the script as they come
    const auto& server = testserver::TestServer::Instance();
    if (!server.Available()) {
        std::fprintf(stderr, "the loopback test server is not running\n");
        return 1;
    }
    gui::RunningProgram program(gui::BuildPath("quorvale.exe"));
    HWND window = program.WaitForWindow(L"Quorvale");
    if (!window) return 1;
    HWND address = gui::FindControl(window, L"编辑框1");
    HWND status = gui::FindControl(window, L"标签3");
    HWND start = gui::FindControl(window, L"按钮2");

    // Pictures go to a folder of the bench's own.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"quorvale-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    gui::Click(gui::FindControl(window, L"按钮1"));
    HWND dialog = program.WaitForWindowOfClass(L"#32770");
    if (!dialog || !program.ChooseFolderInDialog(dialog, folder)) return 1;

    struct Set {
        const char* name;
        int count;
        int size;
    } sets[] = {{"small", 50, 200 * 1024}, {"large", 5, 10 * 1024 * 1024}};
    for (const Set& set : sets) {
        std::string page = "<html><body>\n";
        for (int i = 1; i <= set.count; ++i) {
            std::string picture = server.HttpsAddress("/__bytes/" + std::to_string(set.size)) + "?n=" +
                                  std::to_string(i);
            std::printf("address %s %s\n", set.name, picture.c_str());
            page += Tag(picture.substr(picture.find("//")));
        }
        std::string path = testserver::UniquePath("pixwharf.com/main/post");
        testserver::Response response;
        response.body = page + "</body></html>\n";
        server.Script(path, response);
        std::string post = server.HttpAddress(path);
        gui::SetEditText(address, std::wstring(post.begin(), post.end()));
        if (gui::ReadText(status) != L"发现图片" + std::to_wstring(set.count)) {
            std::fprintf(stderr, "the program did not find the %d pictures of the %s set\n", set.count, set.name);
            return 1;
        }
        auto pressed = Clock::now();
        gui::Click(start);
        // The first picture also pays for the process's first TLS connection, which is
        // slow under Wine: the time from the second picture on is reported apart.
        std::wstring first = L"下载开始1/" + std::to_wstring(set.count);
        gui::WaitUntil([&] { return gui::ReadText(status) == first; }, 600s);
        gui::WaitUntil([&] { return gui::ReadText(status) != first; }, 600s);
        auto secondStarted = Clock::now();
        double firstPicture = SecondsSince(pressed);
        bool finished = gui::WaitUntil([&] { return gui::ReadText(status) == L"下载完毕"; }, 600s);
        if (!finished) {
            std::fprintf(stderr, "the %s download did not finish\n", set.name);
            return 1;
        }
        std::printf("download %s %.3f %.3f %.3f\n", set.name, SecondsSince(pressed), firstPicture,
                    SecondsSince(secondStarted));
    }

    // Discovery of a large post: about 1 MB of page with 200 picture tags among filler.
    std::string page = "<html><body>\n";
    std::string filler(4800, 'x');
    for (int i = 1; i <= 200; ++i) {
        page += "<p>" + filler + "</p>\n" + Tag("//localhost/pictures/" + std::to_string(i) + ".jpg");
    }
    page += "</body></html>\n";
    std::string path = testserver::UniquePath("pixwharf.com/main/post");
    testserver::Response response;
    response.body = page;
    server.Script(path, response);
    std::string url = server.HttpAddress(path);
    auto pasted = Clock::now();
    gui::SetEditText(address, std::wstring(url.begin(), url.end()));
    bool counted = gui::WaitUntil([&] { return gui::ReadText(status) == L"发现图片200"; }, 120s);
    std::printf("discovery %.3f %zu\n", counted ? SecondsSince(pasted) : -1.0, page.size());

    gui::Close(window);
    program.WaitForExit();
    for (int i = 1; i <= 50; ++i) DeleteFileW((folder + L"\\" + std::to_wstring(i) + L".jpg").c_str());
    return 0;
}
