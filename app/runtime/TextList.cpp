#include "app/runtime/TextList.h"

#include "app/runtime/FatalError.h"
#include "app/Strings.h"

void TextList::CheckIndex(int index) const {
    if (index < 1 || index > Count()) {
        FatalRuntimeError(Strings::ListIndexOutOfRange + NumberToText(index));
    }
}

Text& TextList::At(int index) {
    CheckIndex(index);
    return items_[static_cast<size_t>(index) - 1];
}

const Text& TextList::At(int index) const {
    CheckIndex(index);
    return items_[static_cast<size_t>(index) - 1];
}

TextList SplitText(TextView text, TextView separator) {
    TextList pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.Append(Text(text));
        return pieces;
    }
    size_t from = 0;
    while (from < text.size()) {
        int found = FindText(text, separator, static_cast<int>(from) + 1);
        if (found == -1) {
            pieces.Append(Text(text.substr(from)));
            break;
        }
        size_t at = static_cast<size_t>(found) - 1;
        pieces.Append(Text(text.substr(from, at - from)));
        from = at + separator.size();
    }
    return pieces;
}
