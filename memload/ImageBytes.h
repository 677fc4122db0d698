#pragma once
// A bounded view of bytes: a library image in its file layout, or a module's mapped
// region. Every read is checked against the view's size first, so whatever offsets an
// image holds, the loaders never touch a byte outside it. A read that does not fit
// yields 0; with `guarded` set, so does a read that IsBadReadPtr refuses.

#include <cstdint>
#include <cstring>

class ImageBytes {
public:
    ImageBytes(const void* data, std::uint32_t size, bool guarded)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size), guarded_(guarded) {}

    const std::uint8_t* Data() const { return data_; }
    std::uint32_t Size() const { return size_; }

    // [offset, offset + length) lies inside the view (no overflow whatever the values).
    bool Contains(std::uint32_t offset, std::uint32_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    bool Readable(std::uint32_t offset, std::uint32_t length) const;

    std::uint16_t U16(std::uint32_t offset) const { return Read<std::uint16_t>(offset); }
    std::uint32_t U32(std::uint32_t offset) const { return Read<std::uint32_t>(offset); }

    // A zero-terminated text starting at `offset` that ends inside the view.
    bool HasText(std::uint32_t offset) const;
    const char* TextAt(std::uint32_t offset) const {
        return reinterpret_cast<const char*>(data_ + offset);
    }

private:
    template <typename T>
    T Read(std::uint32_t offset) const {
        T value = 0;
        if (Readable(offset, sizeof(T))) std::memcpy(&value, data_ + offset, sizeof(T));
        return value;
    }

    const std::uint8_t* data_;
    std::uint32_t size_;
    bool guarded_;
};
