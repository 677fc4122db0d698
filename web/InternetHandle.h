#pragma once
// One WinInet handle, closed when it goes out of scope or on Close().

#include <windows.h>
#include <wininet.h>

class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() { Close(); }

    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    void Close() {
        if (handle_) InternetCloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HINTERNET handle_ = nullptr;
};
