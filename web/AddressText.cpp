#include "web/AddressText.h"

#include "app/runtime/TextList.h"

namespace {

// Callers write a double quote in a marker as "#引号", since their own texts cannot
// easily hold one.
constexpr TextView QuotePlaceholder = "#引号";

}  // namespace

Text TextBetween(TextView text, TextView left, TextView right, int start, bool caseInsensitive) {
    const Text leftMarker = ReplaceText(left, QuotePlaceholder, "\"");
    const Text rightMarker = ReplaceText(right, QuotePlaceholder, "\"");
    const int leftAt = FindText(text, leftMarker, start, caseInsensitive);
    if (leftAt == -1) return {};
    const int from = leftAt + static_cast<int>(leftMarker.size());
    const int rightAt = FindText(text, rightMarker, from, caseInsensitive);
    if (rightAt == -1) return {};
    return TextMiddle(text, from, rightAt - from);
}

Text TextBefore(TextView text, TextView separator, int start, bool caseInsensitive) {
    const int at = FindText(text, separator, start, caseInsensitive);
    if (at == -1) return {};
    return TextLeft(text, at - 1);
}

Text ValueAfterColon(TextView text) {
    const int colon = FindText(text, ":");
    if (colon == -1) return {};
    return TrimText(TextMiddle(text, colon + 1));
}

Text CapitaliseFirst(TextView text) {
    Text result(text);
    if (!result.empty() && result[0] >= 'a' && result[0] <= 'z') result[0] = static_cast<char>(result[0] - 'a' + 'A');
    return result;
}

Text NormaliseHeaderNames(TextView headerText) {
    Text result;
    for (const Text& line : SplitText(headerText, "\r\n")) {
        const int colon = FindText(line, ":");
        if (colon == -1) continue;
        const Text name = TextLeft(line, colon - 1);
        Text newName;
        if (FindText(name, "-") != -1) {
            bool first = true;
            for (const Text& part : SplitText(name, "-")) {
                if (!first) newName += '-';
                newName += CapitaliseFirst(part);
                first = false;
            }
            // SplitText gives no empty last piece, so a trailing "-" must be put back.
            if (name.back() == '-') newName += '-';
        } else {
            newName = CapitaliseFirst(name);
        }
        result += newName;
        result += TextMiddle(line, colon);
        result += "\r\n";
    }
    if (!result.empty()) result.resize(result.size() - 2);
    return result;
}

Text HostOfAddress(TextView address, bool keepPort) {
    Text t = ToLowerText(address);
    if (t.empty() || t.back() != '/') t += '/';
    TextView scheme = "https://";
    if (t.rfind("https://", 0) != 0) {
        scheme = "http://";
        if (FindText(t, scheme) == -1) t.insert(0, scheme);
    }
    Text host = TextBetween(t, scheme, "/");
    if (keepPort) return host;
    const int colon = FindText(host, ":");
    return colon == -1 ? host : TextLeft(host, colon - 1);
}

int PortOfAddress(TextView address) {
    const Text hostAndPort = HostOfAddress(address, true);
    const int colon = FindTextLast(hostAndPort, ":");
    if (colon != -1) {
        const Text port = TextMiddle(hostAndPort, colon + 1);
        // A port must begin with a digit; anything else counts as no number at all.
        if (port.empty() || port[0] < '0' || port[0] > '9') return 0;
        return TextToNumber(port);
    }
    return ToLowerText(TextLeft(address, 5)) == "https" ? 443 : 80;
}

Text PathOfAddress(TextView address) {
    const Text host = HostOfAddress(address);
    const int hostAt = FindText(address, host, 1, true);
    const int slash = FindText(address, "/", hostAt);
    if (slash == -1) return "/";
    return TextMiddle(address, slash);
}
