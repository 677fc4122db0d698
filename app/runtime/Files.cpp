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

bool WriteWide(const std::wstring& path, const Bytes& bytes, bool flush) {
    FileHandle file{CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return false;
    if (!WriteAll(file.handle, bytes)) return false;
    return !flush || FlushFileBuffers(file.handle);
}

}  // namespace

bool WriteBytesToFile(TextView path, const Bytes& bytes) {
    return WriteWide(GbkToWide(path), bytes, false);
}

bool ReplaceFileWithBytes(TextView path, const Bytes& bytes) {
    std::wstring target = GbkToWide(path);
    std::wstring partial = target + L".part" + std::to_wstring(GetCurrentThreadId());
    if (!WriteWide(partial, bytes, true)) {
        DeleteFileW(partial.c_str());
        return false;
    }
    if (!MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(partial.c_str());
        return false;
    }
    return true;
}
