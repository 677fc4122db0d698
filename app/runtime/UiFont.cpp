#include "app/runtime/UiFont.h"

#include <mutex>

namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceExists(HDC dc, const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(dc, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

HFONT CreateUiFont() {
    // Faces with Chinese glyphs, Windows' own first; the last ones are what Linux
    // desktops offer to Wine.
    const wchar_t* faces[] = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun",
                              L"WenQuanYi Micro Hei", L"Noto Sans CJK SC", L"Droid Sans Fallback"};
    HDC dc = GetDC(nullptr);
    const wchar_t* chosen = L"Tahoma";
    for (const wchar_t* face : faces) {
        if (FaceExists(dc, face)) {
            chosen = face;
            break;
        }
    }
    ReleaseDC(nullptr, dc);
    return CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, chosen);
}

}  // namespace

HFONT UiFont() {
    static std::once_flag once;
    static HFONT font = nullptr;
    std::call_once(once, [] { font = CreateUiFont(); });
    return font;
}
