#include "Platform/Text/NSAttributedString.hpp"

#include <utility>

namespace orvane {

namespace {

// UTF-16 code units of valid UTF-8: one per character, two for the four-byte
// sequences (outside the Basic Multilingual Plane).
std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) {
            units += byte >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

}  // namespace

NSAttributedString::NSAttributedString(std::string text, const TextAttributes& attributes) {
    append(text, attributes);
}

void NSAttributedString::append(std::string_view text, const TextAttributes& attributes) {
    if (text.empty()) {
        return;
    }
    const std::size_t units = utf16Length(text);
    if (!runs_.empty() && runs_.back().attributes == attributes) {
        runs_.back().length += units;
        runs_.back().byteLength += text.size();
    } else {
        runs_.push_back(Run{length_, units, text_.size(), text.size(), attributes});
    }
    text_.append(text);
    length_ += units;
}

}  // namespace orvane
