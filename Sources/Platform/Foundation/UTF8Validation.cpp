#include "Platform/Foundation/UTF8Validation.hpp"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvane {

namespace {

constexpr std::ptrdiff_t blockSize = 64;

// Whether the 64 bytes at `at` hold only ASCII and complete two-byte
// sequences, given `pending` (1 when the byte before them is a lead byte,
// whose continuation must come first). On success `pending` says whether the
// block ends in a lead byte. No branch depends on where the non-ASCII bytes
// are, so sparse accented letters cost no mispredictions.
bool isSimpleBlock(const std::uint8_t* at, unsigned& pending) noexcept {
#if defined(__SSE2__)
    __m128i chunks[4];
    for (int index = 0; index < 4; ++index) {
        chunks[index] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * index));
    }
    const __m128i any = _mm_or_si128(_mm_or_si128(chunks[0], chunks[1]), _mm_or_si128(chunks[2], chunks[3]));
    if ((static_cast<unsigned>(_mm_movemask_epi8(any)) | pending) == 0) {
        return true;  // all ASCII
    }
    unsigned carry = pending;
    bool simple = true;
    for (const __m128i& chunk : chunks) {
        // As signed bytes, a continuation (0x80-0xBF) is -128..-65 and a
        // two-byte lead (0xC2-0xDF) is -62..-33.
        const auto mask = [](__m128i bytes) { return static_cast<unsigned>(_mm_movemask_epi8(bytes)); };
        const unsigned high = mask(chunk);
        const unsigned continuation = mask(_mm_cmplt_epi8(chunk, _mm_set1_epi8(-64)));
        const unsigned lead = mask(_mm_and_si128(_mm_cmpgt_epi8(chunk, _mm_set1_epi8(-63)),
                                                 _mm_cmplt_epi8(chunk, _mm_set1_epi8(-32))));
        // Every high byte is one of the two, and each continuation follows a lead.
        simple &= (continuation | lead) == high;
        simple &= continuation == (((lead << 1) | carry) & 0xFFFFu);
        carry = lead >> 15;
    }
    if (simple) {
        pending = carry;
    }
    return simple;
#else
    std::uint64_t words[8];
    std::memcpy(words, at, sizeof words);
    std::uint64_t any = 0;
    for (const std::uint64_t word : words) {
        any |= word;
    }
    return pending == 0 && (any & 0x8080808080808080ULL) == 0;
#endif
}

// The end of the character starting at `at`, or nullptr when it is not a
// well-formed one.
const std::uint8_t* nextCharacter(const std::uint8_t* at, const std::uint8_t* end) noexcept {
    const std::uint8_t lead = *at;
    if (lead < 0x80) {
        return at + 1;
    }
    std::ptrdiff_t length = 0;
    std::uint8_t low = 0x80;  // the range of the second byte
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0;  // no overlong forms
        } else if (lead == 0xED) {
            high = 0x9F;  // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;  // no overlong forms
        } else if (lead == 0xF4) {
            high = 0x8F;  // nothing above U+10FFFF
        }
    } else {
        return nullptr;
    }
    if (end - at < length || at[1] < low || at[1] > high) {
        return nullptr;
    }
    for (std::ptrdiff_t index = 2; index < length; ++index) {
        if ((at[index] & 0xC0) != 0x80) {
            return nullptr;
        }
    }
    return at + length;
}

}  // namespace

bool isValidUTF8(std::span<const std::uint8_t> bytes) noexcept {
    const std::uint8_t* at = bytes.data();
    const std::uint8_t* const end = at + bytes.size();
    for (;;) {
        unsigned pending = 0;
        while (end - at >= blockSize && isSimpleBlock(at, pending)) {
            at += blockSize;
        }
        // Byte by byte through the block that was not simple (from the lead
        // byte that ended the one before, if any) or through the rest.
        at -= pending;
        const std::uint8_t* const stop = end - at > blockSize + 16 ? at + blockSize + 16 : end;
        while (at < stop) {
            at = nextCharacter(at, end);
            if (at == nullptr) {
                return false;
            }
        }
        if (at == end) {
            return true;
        }
    }
}

}  // namespace orvane
