// isValidUTF8: whether bytes are well-formed UTF-8 — no stray continuation
// bytes, no sequence cut short, no overlong form, no surrogate (U+D800 to
// U+DFFF), nothing above U+10FFFF. NUL is a character like any other.
//
// Text made of ASCII and two-byte sequences (the Latin, Greek and Cyrillic
// scripts) is checked 64 bytes at a time with SSE2 where the processor has
// it; other sequences, and other processors, take a byte-by-byte path. The
// check then costs a small part of hashing the same bytes.
//
// Thread safety: a pure function.
//
//   orvane::isValidUTF8(std::string_view("caf\xc3\xa9"));   // true
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace orvane {

bool isValidUTF8(std::span<const std::uint8_t> bytes) noexcept;

inline bool isValidUTF8(std::string_view text) noexcept {
    return isValidUTF8(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace orvane
