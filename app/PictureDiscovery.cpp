#include "app/PictureDiscovery.h"

#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/Site.h"
#include "app/Strings.h"
#include "regex/RegexObject.h"
#include "web/TextEncoding.h"
#include "web/WebRequest.h"

void OnAddressChanged() {
    if (!CheckAddress()) return;
    DiscoverPictures();
    ShowPictureCount();
    MainWindow["按钮2"].SetDisabled(false);
}

bool CheckAddress() {
    Text address = MainWindow["编辑框1"].GetText();
    Control label = MainWindow["标签1"];
    if (FindText(address, SiteDomain, 1) == -1) {
        label.SetText(Strings::AddressWrong);
        label.SetBackColour(RGB(255, 0, 0));
        return false;
    }
    label.SetText(Strings::AddressRight);
    label.SetBackColour(RGB(70, 178, 70));
    return true;
}

void DiscoverPictures() {
    auto regex = std::make_unique<RegexObject>();
    InitialiseRegex(*regex);
    PictureList.Clear();
    Text address = MainWindow["编辑框1"].GetText();
    Text page = FetchPageText(address);

    regex->CompileAndExecute(HtmlPicturePattern, page);
    // The JSON records are read only when the page has not one picture tag.
    if (regex->MatchCount() == 0) regex->CompileAndExecute(JsonPicturePattern, page);
    int found = regex->MatchCount();
    for (int i = 1; i <= found; ++i) PictureList.Append(PictureAddressPrefix + regex->SubMatchText(i, 1));

    regex->Destroy();
}

Text FetchPageText(Text address) {
    // Supplying every argument, the cookie text among them, turns WinInet's own cookie
    // handling off and sends a plain GET with the default agent, following redirects.
    Text cookies;
    Text returnedCookies;
    Text headers;
    Text responseHeaders;
    Bytes bodyBytes;
    Bytes body = WebRequest(address, WebGet, Text(), &cookies, &returnedCookies, &headers, &responseHeaders,
                            false, &bodyBytes, Text(), false, false, false);
    return Utf8ToGbkText(body);
}

void ShowPictureCount() {
    MainWindow["标签3"].SetText(Strings::PicturesFound + NumberToText(PictureList.Count()));
    SetStartButtonDisabled(true);
}
