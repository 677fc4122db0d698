#include "app/runtime/Shell.h"

#include "app/runtime/Window.h"

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <mutex>

int ShowMessageBox(TextView text, TextView caption, UINT style, HWND owner) {
    std::wstring wideText = GbkToWide(text);
    std::wstring wideCaption = GbkToWide(caption);
    return MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), style);
}

namespace {

struct ItemList {
    PIDLIST_ABSOLUTE items = nullptr;
    ~ItemList() {
        if (items) CoTaskMemFree(items);
    }
};

}  // namespace

Text ChooseFolder(TextView title) {
    std::wstring wideTitle = GbkToWide(title);
    HWND owner = GetActiveWindow();
    ThreadWindowsDisabled others;
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = wideTitle.c_str();
    // The edit box lets a person type or paste a path as well as pick one.
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    ItemList chosen{SHBrowseForFolderW(&browse)};
    if (!chosen.items) return {};
    wchar_t path[MAX_PATH * 2] = {};
    if (!SHGetPathFromIDListW(chosen.items, path)) return {};
    return WideToGbk(path);
}

Text DesktopDirectory() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    std::wstring folder = path;
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return WideToGbk(folder);
}

void OpenAddress(TextView address) {
    std::wstring wide = GbkToWide(address);
    ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void PlaySoundBytes(const Bytes& sound) {
    // An asynchronous sound plays from the caller's memory after this returns: keep a
    // copy alive until the next sound replaces it (stopping the old one first).
    static std::mutex guard;
    static std::unique_ptr<Bytes> playing;
    std::lock_guard lock(guard);
    PlaySoundW(nullptr, nullptr, 0);
    playing = std::make_unique<Bytes>(sound);
    if (playing->empty()) return;
    PlaySoundW(reinterpret_cast<LPCWSTR>(playing->data()), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
}
