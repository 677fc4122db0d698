#include "app/runtime/Files.h"

#include <windows.h>

#include <algorithm>

namespace {

struct FileHandle {
    HANDLE handle;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

bool WriteAll(HANDLE file, const Bytes& bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 24));
        DWORD done = 0;
        if (!WriteFile(file, bytes.data() + written, piece, &done, nullptr) || done == 0) return false;
        written += done;
    }
    return true;
}

bool WriteWide(const std::wstring& path, const Bytes& bytes) {
    FileHandle file{CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return false;
    return WriteAll(file.handle, bytes);
}

}  // namespace

bool WriteBytesToFile(TextView path, const Bytes& bytes) {
    return WriteWide(GbkToWide(path), bytes);
}

bool ReplaceFileWithBytes(TextView path, const Bytes& bytes) {
    std::wstring target = GbkToWide(path);
    std::wstring partial = target + L".part" + std::to_wstring(GetCurrentThreadId());
    // The file is complete before it takes the final name. It is not forced to the disk
    // first: that would cost a disk flush a picture, and what a crash of the program or
    // a full disk can do is covered without it.
    if (!WriteWide(partial, bytes)) {
        DeleteFileW(partial.c_str());
        return false;
    }
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(partial.c_str());
        return false;
    }
    return true;
}
