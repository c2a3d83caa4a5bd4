// Data: an immutable-by-convention byte buffer with value semantics.
//
// Data carries secrets (keychain items, hash inputs), so every buffer it has
// ever owned is wiped with OPENSSL_cleanse before its memory is returned: on
// destruction, on assignment over it, and when a copy is made from a moved-from
// value. Copies are deep; moves transfer the buffer without leaving a copy.
//
// Thread safety: like any value type, const access from many threads is safe;
// mutation needs external synchronisation.
//
//   orvane::Data secret{"hunter2"};
//   std::string text = secret.base64EncodedString();   // "aHVudGVyMg=="
//   auto back = orvane::Data::fromBase64(text);        // std::optional<Data>
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Allocator that wipes memory before handing it back to the system.
template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return std::allocator<T>{}.allocate(count); }
    void deallocate(T* pointer, std::size_t count) noexcept;

    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept {
        return true;
    }
};

void wipeMemory(void* pointer, std::size_t size) noexcept;

template <class T>
void WipingAllocator<T>::deallocate(T* pointer, std::size_t count) noexcept {
    wipeMemory(pointer, count * sizeof(T));
    std::allocator<T>{}.deallocate(pointer, count);
}

class Data {
public:
    using Storage = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

    Data() = default;
    explicit Data(std::span<const std::uint8_t> bytes);
    Data(const void* bytes, std::size_t size);
    // The UTF-8 (or any) bytes of a string, without a terminating NUL.
    explicit Data(std::string_view text);

    Data(const Data& other) = default;
    Data(Data&& other) noexcept = default;
    // Assignment builds the new value aside and lets the old buffer be wiped,
    // so no stale secret bytes linger in spare capacity.
    Data& operator=(const Data& other);
    Data& operator=(Data&& other) noexcept;
    ~Data() = default;

    std::size_t size() const noexcept { return bytes_.size(); }
    bool empty() const noexcept { return bytes_.empty(); }
    const std::uint8_t* data() const noexcept { return bytes_.data(); }
    std::span<const std::uint8_t> bytes() const noexcept { return {bytes_.data(), bytes_.size()}; }
    std::uint8_t operator[](std::size_t index) const { return bytes_.at(index); }

    // Appending is for building a buffer before handing it on (archives, bodies).
    void append(std::span<const std::uint8_t> bytes);
    void append(const Data& other) { append(other.bytes()); }
    // Room for `capacity` bytes in all, so appends up to that size do not move
    // (and wipe) the bytes already there.
    void reserve(std::size_t capacity);

    // The bytes as a std::string (binary-safe; embedded NULs stay).
    std::string toString() const;

    // Base64 (RFC 4648, standard alphabet, padded, no line breaks).
    std::string base64EncodedString() const;
    // Decodes standard padded Base64; whitespace or any other character is an error.
    static std::optional<Data> fromBase64(std::string_view text);

    friend bool operator==(const Data& lhs, const Data& rhs) noexcept;
    friend std::strong_ordering operator<=>(const Data& lhs, const Data& rhs) noexcept;

    std::size_t hashValue() const noexcept;

private:
    Storage bytes_;
};

}  // namespace orvane

template <>
struct std::hash<orvane::Data> {
    std::size_t operator()(const orvane::Data& data) const noexcept { return data.hashValue(); }
};
