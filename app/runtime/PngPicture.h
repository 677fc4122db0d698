#pragma once
// A picture decoded from PNG (or any format GDI+ reads) bytes, drawn fitted into a box.
// Drawing needs GDI+ started; without it the picture stays empty and draws nothing.

#include <windows.h>

#include <cstdint>
#include <string_view>

class PngPicture {
public:
    PngPicture() = default;
    explicit PngPicture(std::basic_string_view<std::uint8_t> bytes);
    ~PngPicture();
    PngPicture(const PngPicture&) = delete;
    PngPicture& operator=(const PngPicture&) = delete;

    bool Empty() const { return image_ == nullptr; }
    unsigned Width() const;
    unsigned Height() const;
    // Scales the picture to fit `box`, keeping its proportions, and centres it.
    void DrawFitted(HDC dc, const RECT& box) const;
    // Stretches the picture over the whole of `box`.
    void DrawStretched(HDC dc, const RECT& box) const;

private:
    void* image_ = nullptr;  // GpImage*
};
