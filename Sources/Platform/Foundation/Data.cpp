#include "Platform/Foundation/Data.hpp"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace orvane {

void wipeMemory(void* pointer, std::size_t size) noexcept {
    if (pointer != nullptr && size > 0) {
        OPENSSL_cleanse(pointer, size);
    }
}

Data::Data(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

Data::Data(const void* bytes, std::size_t size)
    : Data(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), size)) {}

Data::Data(std::string_view text)
    : Data(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) {}

Data& Data::operator=(const Data& other) {
    if (this != &other) {
        Data copy(other);
        bytes_.swap(copy.bytes_);  // the old buffer leaves with `copy`, wiped
    }
    return *this;
}

Data& Data::operator=(Data&& other) noexcept {
    if (this != &other) {
        Storage taken(std::move(other.bytes_));
        bytes_.swap(taken);  // the old buffer leaves with `taken`, wiped
        other.bytes_.clear();
    }
    return *this;
}

void Data::append(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    if (bytes_.size() + bytes.size() > bytes_.capacity()) {
        // Grow into a fresh buffer ourselves so the old one is wiped by the
        // allocator rather than left behind by a reallocation we do not see.
        Storage grown;
        grown.reserve(std::max(bytes_.size() + bytes.size(), bytes_.capacity() * 2));
        grown.insert(grown.end(), bytes_.begin(), bytes_.end());
        bytes_.swap(grown);
    }
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void Data::reserve(std::size_t capacity) {
    if (capacity > bytes_.capacity()) {
        Storage grown;  // a fresh buffer, so the allocator wipes the old one
        grown.reserve(capacity);
        grown.insert(grown.end(), bytes_.begin(), bytes_.end());
        bytes_.swap(grown);
    }
}

std::string Data::toString() const {
    return std::string(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
}

std::string Data::base64EncodedString() const {
    if (bytes_.empty()) {
        return {};
    }
    // EVP_EncodeBlock takes an int length; encode in chunks that are a multiple of 3.
    constexpr std::size_t chunk = 3 * (1u << 28);
    std::string text;
    text.reserve(4 * ((bytes_.size() + 2) / 3));
    for (std::size_t offset = 0; offset < bytes_.size(); offset += chunk) {
        const std::size_t length = std::min(chunk, bytes_.size() - offset);
        std::string part(4 * ((length + 2) / 3) + 1, '\0');
        const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(part.data()),
                                            bytes_.data() + offset, static_cast<int>(length));
        part.resize(static_cast<std::size_t>(written));
        text += part;
    }
    return text;
}

std::optional<Data> Data::fromBase64(std::string_view text) {
    if (text.empty()) {
        return Data{};
    }
    if (text.size() % 4 != 0 || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return std::nullopt;
    }
    const auto isAlphabet = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
               c == '/';
    };
    std::size_t padding = 0;
    if (text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }
    for (std::size_t index = 0; index < text.size() - padding; ++index) {
        if (!isAlphabet(text[index])) {
            return std::nullopt;
        }
    }
    // EVP_DecodeBlock keeps the zero bits of the padding; trim them afterwards.
    Storage decoded(3 * (text.size() / 4));
    const int written = EVP_DecodeBlock(decoded.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (written < 0 || static_cast<std::size_t>(written) != decoded.size()) {
        return std::nullopt;
    }
    decoded.resize(decoded.size() - padding);
    Data result;
    result.bytes_ = std::move(decoded);
    return result;
}

bool operator==(const Data& lhs, const Data& rhs) noexcept {
    return lhs.bytes_.size() == rhs.bytes_.size() &&
           (lhs.bytes_.empty() || std::memcmp(lhs.bytes_.data(), rhs.bytes_.data(), lhs.bytes_.size()) == 0);
}

std::strong_ordering operator<=>(const Data& lhs, const Data& rhs) noexcept {
    return std::lexicographical_compare_three_way(lhs.bytes_.begin(), lhs.bytes_.end(), rhs.bytes_.begin(),
                                                  rhs.bytes_.end());
}

std::size_t Data::hashValue() const noexcept {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
}

}  // namespace orvane
