#include "web/Cookies.h"

namespace {

constexpr TextView DeletedMarker = "=deleted";

bool IsDeleted(TextView item) {
    return item.size() >= DeletedMarker.size() &&
           item.substr(item.size() - DeletedMarker.size()) == DeletedMarker;
}

}  // namespace

Text MergeCookies(Text& sent, Text& received) {
    sent = RemoveSpaces(sent);
    received = RemoveSpaces(received);

    const TextList oldList = SplitText(sent, ";");
    TextList newList = SplitText(received, ";");
    for (const Text& item : oldList) {
        if (!HasCookieNamed(newList, CookieName(item))) newList.Append(item);
    }

    Text merged;
    for (const Text& item : newList) {
        if (IsDeleted(item) || !CookieHasValue(item)) continue;
        merged += item;
        merged += "; ";
    }
    if (!merged.empty()) merged.resize(merged.size() - 2);

    merged = JoinDistinct(merged, "; ");
    sent = merged;
    return merged;
}

Text CookieName(TextView item) {
    const int equals = FindText(item, "=");
    return TrimText(equals == -1 ? item : item.substr(0, static_cast<size_t>(equals - 1)));
}

bool HasCookieNamed(const TextList& list, TextView name) {
    for (const Text& item : list) {
        if (CookieName(item) == name) return true;
    }
    return false;
}

bool CookieHasValue(TextView item) {
    const Text trimmed = TrimText(item);
    const int length = static_cast<int>(trimmed.size());
    return !(FindText(trimmed, "=") == length && FindTextLast(trimmed, "=") == length);
}

Text JoinDistinct(TextView text, TextView separator) {
    TextList seen;
    Text result;
    for (const Text& piece : SplitText(text, separator)) {
        if (IndexOfText(seen, piece) != -1) continue;
        seen.Append(piece);
        result += piece;
        result += separator;
    }
    if (result.size() >= separator.size()) result.resize(result.size() - separator.size());
    return result;
}

int IndexOfText(const TextList& list, TextView text) {
    for (int index = 1; index <= list.Count(); ++index) {
        if (list.At(index) == text) return index;
    }
    return -1;
}
