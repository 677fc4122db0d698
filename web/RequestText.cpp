#include "web/RequestText.h"

#include "app/runtime/TextList.h"
#include "web/AddressText.h"
#include "web/WebRequest.h"

Text UserAgentFor(TextView headers) {
    if (FindText(headers, "User-Agent:", 1, true) == -1) return DefaultUserAgent;
    Text agent = TrimText(TextBetween(Text(headers) + "\r\n", "User-Agent:", "\r\n"));
    // A name in another letter case is only found by the loose search above; its value
    // is then taken from the first colon on.
    if (agent.empty()) agent = ValueAfterColon(headers);
    return agent;
}

void CompleteHeaderText(Text& headers, TextView address) {
    if (headers.empty()) {
        headers = "Accept: */*";
    } else if (FindText(headers, "Accept:") == -1) {
        headers += "\r\nAccept: */*";
    }
    if (FindText(headers, "Referer:") == -1) {
        headers += "\r\nReferer: ";
        headers += address;
    }
    if (FindText(headers, "Accept-Language:") == -1) headers += "\r\nAccept-Language: zh-cn";
    if (FindText(headers, "Content-Type:") == -1) headers += "\r\nContent-Type: application/x-www-form-urlencoded";
}

void AppendCookieLine(Text& headers, TextView cookies) {
    if (cookies.empty()) return;
    headers += FindText(cookies, "Cookie:") != -1 ? "\r\n" : "\r\nCookie: ";
    headers += cookies;
}

Text RespellSetCookie(TextView responseHeaders) {
    return ReplaceText(responseHeaders, "Set-Cookie", "Set-Cookie", true);
}

Text CookiesOfResponse(TextView responseHeaders) {
    Text cookies;
    for (const Text& line : SplitText(responseHeaders, "\r\n")) {
        if (TextBefore(line, ": ") != "Set-Cookie") continue;
        if (FindText(line, ";") != -1) {
            cookies += TrimText(TextBetween(line, "Set-Cookie:", ";"));
        } else {
            cookies += TrimText(ReplaceText(line, "Set-Cookie:", "", true));
        }
        cookies += "; ";
    }
    if (!cookies.empty()) cookies.resize(cookies.size() - 2);
    return cookies;
}
