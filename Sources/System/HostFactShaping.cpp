#include "System/HostFactShaping.hpp"

#include "Platform/Foundation/UTF8Validation.hpp"

#include <glib.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace orvane::hostfacts {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// How many bytes of the sequence starting at `at` form a well-formed
// character, or, when it is ill-formed, minus the length of its maximal
// subpart (at least one byte).
std::ptrdiff_t wellFormedLength(const unsigned char* at, const unsigned char* end) {
    const unsigned char lead = *at;
    if (lead < 0x80) {
        return 1;
    }
    std::ptrdiff_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (std::ptrdiff_t index = 1; index < length; ++index) {
        if (at + index == end) {
            return -index;
        }
        const unsigned char next = at[index];
        const bool inRange = index == 1 ? next >= low && next <= high : (next & 0xC0) == 0x80;
        if (!inRange) {
            return -index;
        }
    }
    return length;
}

bool isUsableText(const char* text) {
    return text != nullptr && *text != '\0' && isValidUTF8(std::string_view(text));
}

// Grapheme cluster boundaries (UAX #29) from GLib's character properties.
// Prepend characters and the Indic conjunct rule are left out: a boundary
// then falls one character early, which no serial number or version has.
enum class Kind {
    other,
    cr,
    lf,
    control,
    extend,
    zwj,
    regional,
    spacingMark,
    l,
    v,
    t,
    lv,
    lvt,
    pictographic
};

bool isPictographic(gunichar c) {
    struct Range {
        gunichar first, last;
    };
    static constexpr Range ranges[] = {
        {0x00A9, 0x00A9}, {0x00AE, 0x00AE}, {0x203C, 0x203C}, {0x2049, 0x2049},   {0x2122, 0x2122},
        {0x2139, 0x2139}, {0x2194, 0x2199}, {0x21A9, 0x21AA}, {0x231A, 0x231B},   {0x2328, 0x2328},
        {0x23CF, 0x23CF}, {0x23E9, 0x23F3}, {0x23F8, 0x23FA}, {0x24C2, 0x24C2},   {0x25AA, 0x25AB},
        {0x25B6, 0x25B6}, {0x25C0, 0x25C0}, {0x25FB, 0x25FE}, {0x2600, 0x27BF},   {0x2934, 0x2935},
        {0x2B05, 0x2B07}, {0x2B1B, 0x2B1C}, {0x2B50, 0x2B50}, {0x2B55, 0x2B55},   {0x3030, 0x3030},
        {0x303D, 0x303D}, {0x3297, 0x3297}, {0x3299, 0x3299}, {0x1F000, 0x1FAFF}, {0x1FC00, 0x1FFFD},
    };
    for (const Range& range : ranges) {
        if (c >= range.first && c <= range.last) {
            return true;
        }
    }
    return false;
}

Kind kindOf(gunichar c) {
    switch (c) {
        case '\r':
            return Kind::cr;
        case '\n':
            return Kind::lf;
        case 0x200C:
            return Kind::extend;
        case 0x200D:
            return Kind::zwj;
        default:
            break;
    }
    if (c >= 0xE0020 && c <= 0xE007F) {
        return Kind::extend;  // tags, as in the flags of England or Scotland
    }
    switch (g_unichar_break_type(c)) {
        case G_UNICODE_BREAK_HANGUL_L_JAMO:
            return Kind::l;
        case G_UNICODE_BREAK_HANGUL_V_JAMO:
            return Kind::v;
        case G_UNICODE_BREAK_HANGUL_T_JAMO:
            return Kind::t;
        case G_UNICODE_BREAK_HANGUL_LV_SYLLABLE:
            return Kind::lv;
        case G_UNICODE_BREAK_HANGUL_LVT_SYLLABLE:
            return Kind::lvt;
        case G_UNICODE_BREAK_REGIONAL_INDICATOR:
            return Kind::regional;
        case G_UNICODE_BREAK_EMOJI_MODIFIER:
            return Kind::extend;
        default:
            break;
    }
    switch (g_unichar_type(c)) {
        case G_UNICODE_NON_SPACING_MARK:
        case G_UNICODE_ENCLOSING_MARK:
            return Kind::extend;
        case G_UNICODE_SPACING_MARK:
            return Kind::spacingMark;
        case G_UNICODE_CONTROL:
        case G_UNICODE_FORMAT:
        case G_UNICODE_LINE_SEPARATOR:
        case G_UNICODE_PARAGRAPH_SEPARATOR:
            return Kind::control;
        default:
            return isPictographic(c) ? Kind::pictographic : Kind::other;
    }
}

// The byte offsets at which the clusters of valid UTF-8 `text` start.
std::vector<std::size_t> clusterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    Kind previous = Kind::control;
    std::size_t regionalRun = 0;     // regional indicators just before
    bool emojiSequence = false;      // an emoji followed by extenders only
    bool emojiBeforeJoiner = false;  // the same, just before a ZWJ
    const char* const begin = text.data();
    for (const char* at = begin; at < begin + text.size(); at = g_utf8_next_char(at)) {
        const Kind kind = kindOf(g_utf8_get_char(at));
        const auto isBreak = [&] {
            if (starts.empty()) {
                return true;
            }
            if (previous == Kind::cr && kind == Kind::lf) {
                return false;
            }
            if (previous == Kind::cr || previous == Kind::lf || previous == Kind::control ||
                kind == Kind::cr || kind == Kind::lf || kind == Kind::control) {
                return true;
            }
            if ((previous == Kind::l &&
                 (kind == Kind::l || kind == Kind::v || kind == Kind::lv || kind == Kind::lvt)) ||
                ((previous == Kind::lv || previous == Kind::v) && (kind == Kind::v || kind == Kind::t)) ||
                ((previous == Kind::lvt || previous == Kind::t) && kind == Kind::t)) {
                return false;
            }
            if (kind == Kind::extend || kind == Kind::zwj || kind == Kind::spacingMark) {
                return false;
            }
            if (previous == Kind::zwj && kind == Kind::pictographic && emojiBeforeJoiner) {
                return false;
            }
            return !(previous == Kind::regional && kind == Kind::regional && regionalRun % 2 == 1);
        }();
        if (isBreak) {
            starts.push_back(static_cast<std::size_t>(at - begin));
        }
        regionalRun = kind == Kind::regional ? regionalRun + 1 : 0;
        emojiBeforeJoiner = kind == Kind::zwj && emojiSequence;
        emojiSequence = kind == Kind::pictographic || (kind == Kind::extend && emojiSequence);
        previous = kind;
    }
    return starts;
}

// One shell word of an os-release assignment, from just after '=' to the
// end of the line; nothing when a quote is left open.
std::optional<std::string> shellWord(std::string_view text) {
    std::string word;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == ' ' || c == '\t') {
            break;  // what follows is a comment or another assignment
        }
        if (c == '\'') {
            const std::size_t close = text.find('\'', at + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            word.append(text.substr(at + 1, close - at - 1));
            at = close + 1;
        } else if (c == '"') {
            for (++at;; ++at) {
                if (at >= text.size()) {
                    return std::nullopt;
                }
                if (text[at] == '"') {
                    ++at;
                    break;
                }
                if (text[at] == '\\' && at + 1 < text.size() &&
                    std::string_view("$`\"\\").find(text[at + 1]) != std::string_view::npos) {
                    ++at;
                }
                word.push_back(text[at]);
            }
        } else if (c == '\\') {
            if (at + 1 < text.size()) {
                word.push_back(text[at + 1]);
            }
            at += 2;
        } else {
            word.push_back(c);
            ++at;
        }
    }
    return word;
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string replacingIllFormedUTF8(std::string_view bytes) {
    if (isValidUTF8(bytes)) {
        return std::string(bytes);
    }
    std::string text;
    text.reserve(bytes.size() + 8);
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = at + bytes.size();
    while (at < end) {
        const std::ptrdiff_t length = wellFormedLength(at, end);
        if (length > 0) {
            text.append(reinterpret_cast<const char*>(at), static_cast<std::size_t>(length));
            at += length;
        } else {
            text.append(replacementCharacter);
            at -= length;
        }
    }
    return text;
}

std::string kernelText(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (!bytes.empty() && bytes.back() == '\n') {
        bytes.remove_suffix(1);
    }
    return replacingIllFormedUTF8(bytes);
}

std::optional<std::string> osReleaseValue(std::string_view contents, std::string_view name) {
    std::optional<std::string> value;
    while (!contents.empty()) {
        const std::size_t newline = contents.find('\n');
        std::string_view line = contents.substr(0, newline);
        contents = newline == std::string_view::npos ? std::string_view() : contents.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = trimmed(line);
        const std::size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) {
            continue;
        }
        std::string_view key = trimmed(line.substr(0, equals));
        if (key.starts_with("export ")) {
            key = trimmed(key.substr(7));
        }
        if (key != name) {
            continue;
        }
        if (std::optional<std::string> word = shellWord(trimmed(line.substr(equals + 1)))) {
            value = std::move(word);
        }
    }
    return value;
}

std::optional<std::string> threePartVersion(std::string_view text) {
    const auto isDigit = [&](std::size_t at) {
        return at < text.size() && text[at] >= '0' && text[at] <= '9';
    };
    std::uint64_t parts[3] = {0, 0, 0};
    std::size_t count = 0;
    std::size_t at = 0;
    while (count < 3 && isDigit(at)) {
        std::uint64_t number = 0;
        for (; isDigit(at); ++at) {
            const auto digit = static_cast<std::uint64_t>(text[at] - '0');
            if (number > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                return std::nullopt;
            }
            number = number * 10 + digit;
        }
        parts[count++] = number;
        if (!(at < text.size() && text[at] == '.' && isDigit(at + 1))) {
            break;
        }
        ++at;
    }
    if (count == 0) {
        return std::nullopt;
    }
    return std::to_string(parts[0]) + '.' + std::to_string(parts[1]) + '.' + std::to_string(parts[2]);
}

std::string lastCharacters(std::string_view text, std::size_t count) {
    const std::string valid = replacingIllFormedUTF8(text);
    const std::vector<std::size_t> starts = clusterStarts(valid);
    if (starts.size() <= count) {
        return valid;
    }
    if (count == 0) {
        return "";
    }
    return valid.substr(starts[starts.size() - count]);
}

std::string homeFolderFrom(const char* recordHome, const char* environmentHome) {
    if (isUsableText(recordHome)) {
        return recordHome;
    }
    if (isUsableText(environmentHome)) {
        return environmentHome;
    }
    return "/";
}

std::string userNameFrom(const char* recordName, const char* environmentLogName,
                         const char* environmentUser) {
    if (recordName != nullptr && *recordName != '\0') {
        return replacingIllFormedUTF8(recordName);
    }
    for (const char* candidate : {environmentLogName, environmentUser}) {
        if (isUsableText(candidate)) {
            return candidate;
        }
    }
    return "";
}

}  // namespace orvane::hostfacts
