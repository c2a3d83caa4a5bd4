#include "Data/XMLPropertyList.hpp"

#include <plist/plist.h>

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
        if (!selfClosing) {
            open_.push_back(element);
            containers_ += isContainer(element) ? 1 : 0;
        }
        return std::nullopt;
    }

    std::optional<std::string> endTag() {
        const std::string_view element = name();
        skipSpace();
        if (!accept('>')) {
            return "malformed end tag </" + std::string(element) + ">";
        }
        if (open_.empty() || open_.back() != element) {
            return "end tag </" + std::string(element) + "> does not match";
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
};

}  // namespace

std::optional<std::string> XMLPropertyList::findProblem(std::string_view text, const Limits& limits) {
    return Scanner(text, limits).run();
}

PropertyListNode XMLPropertyList::parse(std::string_view text, const Limits& limits) {
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
    return result;
}

}  // namespace orvane
