#include "Data/XMLPropertyList.hpp"

#include <plist/plist.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace orvane {

namespace {

constexpr auto npos = std::string_view::npos;

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

bool isNameCharacter(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isContainer(std::string_view name) {
    return name == "plist" || name == "array" || name == "dict";
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Whether `text` is all digits (of the given kind), at least one.
template <class Predicate>
bool allOf(std::string_view text, Predicate predicate) {
    return !text.empty() && std::all_of(text.begin(), text.end(), predicate);
}

// Decimal without leading zeros (libplist reads "010" as octal) or 0x-prefixed
// hexadecimal, optionally signed, no spaces; a negative value down to
// INT64_MIN, a positive one up to UINT64_MAX.
bool isIntegerText(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    std::uint64_t value = 0;
    std::from_chars_result parsed{};
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        if (!allOf(text, isHexDigit)) {
            return false;
        }
        parsed = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    } else {
        if (!allOf(text, isDigit) || (text.size() > 1 && text.front() == '0')) {
            return false;
        }
        parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    }
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) {
        return false;  // beyond 64 bits
    }
    return !negative || value <= std::uint64_t{1} << 63;
}

// A decimal number with optional fraction and exponent, or nan / inf /
// infinity; optionally signed, no spaces.
bool isRealText(std::string_view text) {
    if (text.starts_with('-') || text.starts_with('+')) {
        text.remove_prefix(1);
    }
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (lower == "nan" || lower == "inf" || lower == "infinity") {
        return true;
    }
    const std::size_t exponent = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, exponent);
    if (exponent != npos) {
        std::string_view power = text.substr(exponent + 1);
        if (power.starts_with('-') || power.starts_with('+')) {
            power.remove_prefix(1);
        }
        if (!allOf(power, isDigit)) {
            return false;
        }
    }
    const std::size_t point = mantissa.find('.');
    const std::string_view whole = mantissa.substr(0, point);
    const std::string_view fraction = point == npos ? std::string_view() : mantissa.substr(point + 1);
    return (allOf(whole, isDigit) || (whole.empty() && point != npos)) &&
           (fraction.empty() ? !whole.empty() : allOf(fraction, isDigit));
}

// YYYY-MM-DDTHH:MM:SSZ naming a real day and time.
bool isDateText(std::string_view text) {
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size()) {
        return false;
    }
    for (std::size_t index = 0; index < shape.size(); ++index) {
        if (shape[index] == 'd' ? !isDigit(text[index]) : text[index] != shape[index]) {
            return false;
        }
    }
    const auto number = [text](std::size_t at, std::size_t length) {
        int value = 0;
        std::from_chars(text.data() + at, text.data() + at + length, value);
        return value;
    };
    const std::chrono::year_month_day day{std::chrono::year(number(0, 4)),
                                          std::chrono::month(static_cast<unsigned>(number(5, 2))),
                                          std::chrono::day(static_cast<unsigned>(number(8, 2)))};
    return number(0, 4) >= 1 && day.ok() && number(11, 2) < 24 && number(14, 2) < 60 && number(17, 2) < 60;
}

bool isBase64Text(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '+' || c == '/' ||
               c == '=' || isSpace(c);
    });
}

// Whether the text of a leaf element holds a value of its type; libplist
// would read a made-up value from anything else ("42xy" as 42, "abc" as 0).
bool isLeafText(std::string_view element, std::string_view text) {
    if (element == "integer") {
        return isIntegerText(text);
    }
    if (element == "real") {
        return isRealText(text);
    }
    if (element == "date") {
        return isDateText(text);
    }
    if (element == "true" || element == "false") {
        return text.empty();
    }
    if (element == "data") {
        return isBase64Text(text);
    }
    return true;
}

bool hasValue(std::string_view element) {
    return element == "integer" || element == "real" || element == "date";
}

class Scanner {
public:
    Scanner(std::string_view text, const XMLPropertyList::Limits& limits) : text_(text), limits_(limits) {}

    std::optional<std::string> run() {
        if (text_.size() > std::numeric_limits<std::uint32_t>::max()) {
            return "too large for libplist";
        }
        if (std::memchr(text_.data(), 0, text_.size()) != nullptr) {
            return "NUL byte";
        }
        while (true) {
            const std::size_t open = text_.find('<', position_);
            if (open == npos) {
                break;
            }
            position_ = open + 1;
            if (auto problem = markup()) {
                return problem;
            }
        }
        if (!open_.empty()) {
            return "unclosed element <" + std::string(open_.back()) + ">";
        }
        return std::nullopt;
    }

private:
    // The markup after a "<" at position_ - 1.
    std::optional<std::string> markup() {
        const std::string_view rest = text_.substr(position_);
        if (rest.starts_with("/")) {
            ++position_;
            return endTag();
        }
        if (rest.starts_with("?")) {
            return skipOpaque(1, "?>", "processing instruction");
        }
        if (rest.starts_with("!--")) {
            return skipOpaque(3, "-->", "comment");
        }
        if (rest.starts_with("![CDATA[")) {
            return skipOpaque(8, "]]>", "CDATA section");
        }
        if (rest.starts_with("!DOCTYPE")) {
            return doctype();
        }
        if (!rest.empty() && isNameStart(rest.front())) {
            return startTag();
        }
        return "stray '<'";
    }

    // A construct that readers skip. Its body holds neither "<" nor ">", so
    // every reader ends it at the same place and none can hide a tag in it.
    std::optional<std::string> skipOpaque(std::size_t openerLength, std::string_view terminator,
                                          const char* what) {
        const std::size_t bodyStart = position_ + openerLength;
        const std::size_t end = text_.find(terminator, bodyStart);
        if (end == npos) {
            return std::string("unterminated ") + what;
        }
        const std::string_view body = text_.substr(bodyStart, end - bodyStart);
        if (body.find_first_of("<>") != npos) {
            return std::string("'<' or '>' inside a ") + what;
        }
        position_ = end + terminator.size();
        return std::nullopt;
    }

    // <!DOCTYPE ...>: no internal subset and no ">" inside quotes, so it ends
    // at its first ">".
    std::optional<std::string> doctype() {
        const std::size_t end = text_.find('>', position_);
        if (end == npos) {
            return "unterminated DOCTYPE";
        }
        const std::string_view body = text_.substr(position_, end - position_);
        std::size_t doubleQuotes = 0;
        std::size_t singleQuotes = 0;
        for (char c : body) {
            if (c == '<' || c == '[' || c == ']') {
                return "DOCTYPE with an internal subset";
            }
            doubleQuotes += c == '"';
            singleQuotes += c == '\'';
        }
        if (doubleQuotes % 2 != 0 || singleQuotes % 2 != 0) {
            return "'>' inside a quoted DOCTYPE part";
        }
        position_ = end + 1;
        return std::nullopt;
    }

    std::string_view name() {
        const std::size_t start = position_;
        while (position_ < text_.size() && isNameCharacter(text_[position_])) {
            ++position_;
        }
        return text_.substr(start, position_ - start);
    }

    bool skipSpace() {
        const std::size_t start = position_;
        while (position_ < text_.size() && isSpace(text_[position_])) {
            ++position_;
        }
        return position_ != start;
    }

    bool accept(char c) {
        if (position_ < text_.size() && text_[position_] == c) {
            ++position_;
            return true;
        }
        return false;
    }

    std::optional<std::string> startTag() {
        if (!open_.empty() && !isContainer(open_.back())) {
            return "element inside <" + std::string(open_.back()) + ">";
        }
        const std::string_view element = name();
        bool selfClosing = false;
        while (true) {
            const bool spaced = skipSpace();
            if (accept('>')) {
                break;
            }
            if (accept('/')) {
                if (!accept('>')) {
                    return "malformed start tag <" + std::string(element) + ">";
                }
                selfClosing = true;
                break;
            }
            if (!spaced || position_ >= text_.size() || !isNameStart(text_[position_])) {
                return "malformed start tag <" + std::string(element) + ">";
            }
            name();
            skipSpace();
            if (!accept('=')) {
                return "attribute without a value";
            }
            skipSpace();
            if (!accept('"')) {
                return "attribute value not in double quotes";
            }
            const std::size_t close = text_.find('"', position_);
            if (close == npos) {
                return "unterminated attribute value";
            }
            if (text_.substr(position_, close - position_).find_first_of("<>") != npos) {
                return "'<' or '>' inside an attribute value";
            }
            position_ = close + 1;
        }

        if (isContainer(element)) {
            // The "plist" wrapper counts too, so nested wrappers are bounded.
            if (containers_ + 1 > limits_.maximumDepth + 1) {
                return "nested too deeply";
            }
        }
        if (element != "key" && element != "plist" && ++values_ > limits_.maximumExpandedNodes) {
            return "too many elements";
        }
        if (selfClosing && hasValue(element)) {
            // Appended rather than "<" + ...: GCC 12 at -O3 takes the prepend for an overlapping copy.
            std::string problem = "<";
            problem.append(element).append("/> without a value");
            return problem;
        }
        if (!selfClosing) {
            leafTextStart_ = position_;
            open_.push_back(element);
            containers_ += isContainer(element) ? 1 : 0;
        }
        return std::nullopt;
    }

    std::optional<std::string> endTag() {
        const std::size_t tagStart = position_ - 2;
        const std::string_view element = name();
        skipSpace();
        if (!accept('>')) {
            return "malformed end tag </" + std::string(element) + ">";
        }
        if (open_.empty() || open_.back() != element) {
            return "end tag </" + std::string(element) + "> does not match";
        }
        if (!isContainer(element) &&
            !isLeafText(element, text_.substr(leafTextStart_, tagStart - leafTextStart_))) {
            return "malformed <" + std::string(element) + "> value";
        }
        containers_ -= isContainer(element) ? 1 : 0;
        open_.pop_back();
        return std::nullopt;
    }

    std::string_view text_;
    const XMLPropertyList::Limits& limits_;
    std::size_t position_ = 0;
    std::vector<std::string_view> open_;
    std::size_t containers_ = 0;
    std::uint64_t values_ = 0;
    std::size_t leafTextStart_ = 0;  // where the innermost open element's text starts
};

// The UTF-8 form of UTF-16 text after its byte-order mark; nothing when the
// units do not pair up.
std::optional<std::string> utf8FromUTF16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    const auto unit = [&](std::size_t index) {
        const auto first = static_cast<std::uint8_t>(bytes[index]);
        const auto second = static_cast<std::uint8_t>(bytes[index + 1]);
        return static_cast<std::uint32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    std::string utf8;
    utf8.reserve(bytes.size());
    for (std::size_t index = 0; index < bytes.size(); index += 2) {
        std::uint32_t codePoint = unit(index);
        if (codePoint >= 0xDC00 && codePoint < 0xE000) {
            return std::nullopt;
        }
        if (codePoint >= 0xD800 && codePoint < 0xDC00) {
            index += 2;
            const std::uint32_t low = index < bytes.size() ? unit(index) : 0;
            if (low < 0xDC00 || low >= 0xE000) {
                return std::nullopt;
            }
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
        }
        if (codePoint < 0x80) {
            utf8 += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            utf8 += static_cast<char>(0xC0 | (codePoint >> 6));
            utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (codePoint >> 12));
            utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (codePoint >> 18));
            utf8 += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }
    return utf8;
}

// libplist writes a date's year with as many digits as it has ("1-01-01");
// readers want four.
void padDateYears(std::string& xml) {
    constexpr std::string_view opening = "<date>";
    for (std::size_t at = xml.find(opening); at != std::string::npos; at = xml.find(opening, at + 1)) {
        const std::size_t year = at + opening.size();
        const std::size_t dash = xml.find('-', year);
        if (dash != std::string::npos && dash - year < 4) {
            xml.insert(year, 4 - (dash - year), '0');
        }
    }
}

}  // namespace

std::optional<std::string> XMLPropertyList::findProblem(std::string_view text, const Limits& limits) {
    return Scanner(text, limits).run();
}

PropertyListNode XMLPropertyList::parse(std::string_view text, const Limits& limits) {
    std::optional<std::string> decoded;
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        decoded = utf8FromUTF16(text.substr(2), text.starts_with("\xFE"));
        if (!decoded) {
            return {};
        }
        text = *decoded;
    } else if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (findProblem(text, limits)) {
        return {};
    }
    const std::string terminated(text);
    plist_t root = nullptr;
    plist_from_xml(terminated.c_str(), static_cast<std::uint32_t>(terminated.size()), &root);
    return PropertyListNode(root);
}

std::optional<std::string> XMLPropertyList::serialize(void* root) {
    if (root == nullptr) {
        return std::nullopt;
    }
    char* text = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root, &text, &length);
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string result(text, length);
    plist_to_xml_free(text);
    padDateYears(result);
    return result;
}

}  // namespace orvane
