#include "app/runtime/PngPicture.h"

#include "app/runtime/Gdiplus.h"

#include <shlwapi.h>

#include <algorithm>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

PngPicture::PngPicture(std::basic_string_view<std::uint8_t> bytes) {
    if (bytes.empty()) return;
    IStream* stream = SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()));
    if (!stream) return;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromStream(stream, &bitmap) == Ok) image_ = bitmap;
    stream->Release();
}

PngPicture::~PngPicture() {
    if (image_) GdipDisposeImage(static_cast<GpImage*>(image_));
}

unsigned PngPicture::Width() const {
    UINT width = 0;
    if (image_) GdipGetImageWidth(static_cast<GpImage*>(image_), &width);
    return width;
}

unsigned PngPicture::Height() const {
    UINT height = 0;
    if (image_) GdipGetImageHeight(static_cast<GpImage*>(image_), &height);
    return height;
}

namespace {

void DrawInto(GpImage* image, HDC dc, int left, int top, int width, int height) {
    GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(dc, &graphics) != Ok) return;
    GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
    GdipSetPixelOffsetMode(graphics, PixelOffsetModeHighQuality);
    GdipDrawImageRectI(graphics, image, left, top, width, height);
    GdipDeleteGraphics(graphics);
}

}  // namespace

void PngPicture::DrawFitted(HDC dc, const RECT& box) const {
    unsigned width = Width();
    unsigned height = Height();
    if (!image_ || width == 0 || height == 0) return;
    int boxWidth = box.right - box.left;
    int boxHeight = box.bottom - box.top;
    double scale = std::min(static_cast<double>(boxWidth) / width, static_cast<double>(boxHeight) / height);
    int drawWidth = std::max(1, static_cast<int>(width * scale));
    int drawHeight = std::max(1, static_cast<int>(height * scale));
    DrawInto(static_cast<GpImage*>(image_), dc, box.left + (boxWidth - drawWidth) / 2,
             box.top + (boxHeight - drawHeight) / 2, drawWidth, drawHeight);
}

void PngPicture::DrawStretched(HDC dc, const RECT& box) const {
    if (!image_) return;
    DrawInto(static_cast<GpImage*>(image_), dc, box.left, box.top, box.right - box.left,
             box.bottom - box.top);
}
