#pragma once
// A growable list of Text counted from 1. An index outside the current size is a
// fatal runtime error, as it is for every list of the runtime.

#include "app/runtime/Text.h"

#include <vector>

class TextList {
public:
    TextList() = default;
    TextList(std::initializer_list<Text> items) : items_(items) {}

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    Text& At(int index);
    const Text& At(int index) const;

    void Append(Text item) { items_.push_back(std::move(item)); }
    void Clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

    bool operator==(const TextList&) const = default;

private:
    void CheckIndex(int index) const;
    std::vector<Text> items_;
};

// Splits at every occurrence of `separator`: a separator at the very end gives no
// empty last piece, two in a row give an empty piece, an empty text gives no pieces.
TextList SplitText(TextView text, TextView separator);
