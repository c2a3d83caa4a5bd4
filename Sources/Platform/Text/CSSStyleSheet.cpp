#include "Platform/Text/CSSStyleSheet.hpp"

#include "Platform/Text/HTMLTextBasics.hpp"

#include <algorithm>

namespace orvane {

namespace {

using htmltext::lowercased;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}


// The text without comments; quoted strings are kept whole, and an
// unterminated comment runs to the end.
std::string withoutComments(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            result.push_back(c);
            if (c == '\\' && i + 1 < text.size()) {
                result.push_back(text[++i]);
            } else if (c == quote) {
                quote = 0;
            }
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
            const std::size_t end = text.find("*/", i + 2);
            if (end == std::string_view::npos)
                break;
            i = end + 1;
            result.push_back(' ');
        } else {
            if (c == '"' || c == '\'')
                quote = c;
            result.push_back(c);
        }
    }
    return result;
}

// Index of the first of `stops` at nesting depth zero from `from`, skipping
// quoted strings and (...) / [...] / {...} groups; text.size() when none.
std::size_t findOutside(std::string_view text, std::size_t from, std::string_view stops) {
    int depth = 0;
    char quote = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == '\\') {
                ++i;
            } else if (c == quote) {
                quote = 0;
            }
            continue;
        }
        if (depth == 0 && stops.find(c) != std::string_view::npos)
            return i;
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if ((c == ')' || c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return text.size();
}

// From an opening brace at `open`, the index just past its closing brace.
std::size_t skipBlock(std::string_view text, std::size_t open) {
    const std::size_t close = findOutside(text, open + 1, "}");
    return close == text.size() ? close : close + 1;
}

}  // namespace

bool CSSSelector::parse(std::string_view text, CSSSelector& selector) {
    selector = CSSSelector();
    std::uint32_t ids = 0, classes = 0, types = 0;
    text = trimmed(text);
    std::size_t i = 0;
    while (i < text.size()) {
        Compound compound;
        bool any = false;
        if (text[i] == '*') {
            any = true;
            ++i;
        } else if (isNameCharacter(text[i])) {
            const std::size_t start = i;
            while (i < text.size() && isNameCharacter(text[i]))
                ++i;
            compound.type = lowercased(text.substr(start, i - start));
            any = true;
            ++types;
        }
        while (i < text.size() && (text[i] == '.' || text[i] == '#')) {
            const char kind = text[i++];
            const std::size_t start = i;
            while (i < text.size() && isNameCharacter(text[i]))
                ++i;
            if (i == start)
                return false;
            const std::string name(text.substr(start, i - start));
            if (kind == '.') {
                compound.classes.push_back(name);
                ++classes;
            } else {
                compound.ids.push_back(name);
                ++ids;
            }
            any = true;
        }
        if (!any)
            return false;
        selector.compounds_.push_back(std::move(compound));
        if (i < text.size()) {
            if (!isBlank(text[i]))
                return false;
            while (i < text.size() && isBlank(text[i]))
                ++i;
        }
    }
    if (selector.compounds_.empty())
        return false;
    auto saturated = [](std::uint32_t count) { return std::min<std::uint32_t>(count, 1023); };
    selector.specificity_ = saturated(ids) << 20 | saturated(classes) << 10 | saturated(types);
    return true;
}

namespace {

bool compoundMatches(const CSSSelector::Compound& compound, const CSSElement& element) {
    if (!compound.type.empty() && compound.type != element.tag)
        return false;
    for (const std::string& id : compound.ids) {
        if (id != element.id)
            return false;
    }
    for (const std::string& name : compound.classes) {
        if (std::find(element.classes.begin(), element.classes.end(), name) == element.classes.end())
            return false;
    }
    return true;
}

}  // namespace

bool CSSSelector::matches(const CSSElement& element, std::span<const CSSElement* const> ancestors) const {
    if (compounds_.empty() || !compoundMatches(compounds_.back(), element))
        return false;
    // Descendant combinators only: matching each compound to the nearest
    // ancestor that fits is never worse than a farther one.
    std::size_t next = ancestors.size();
    for (std::size_t c = compounds_.size() - 1; c-- > 0;) {
        bool found = false;
        while (next > 0) {
            if (compoundMatches(compounds_[c], *ancestors[--next])) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

std::vector<CSSDeclaration> CSSStyleSheet::parseDeclarations(std::string_view rawText) {
    const std::string text = withoutComments(rawText);
    std::vector<CSSDeclaration> declarations;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = findOutside(text, start, ";");
        const std::string_view item(text.data() + start, end - start);
        start = end + 1;
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = trimmed(item.substr(0, colon));
        std::string_view value = trimmed(item.substr(colon + 1));
        if (const std::size_t bang = value.rfind('!');
            bang != std::string_view::npos && lowercased(trimmed(value.substr(bang + 1))) == "important") {
            value = trimmed(value.substr(0, bang));
        }
        if (name.empty() || value.empty() ||
            !std::all_of(name.begin(), name.end(), [](char c) { return isNameCharacter(c); })) {
            continue;
        }
        declarations.push_back(CSSDeclaration{lowercased(name), std::string(value)});
    }
    return declarations;
}

CSSStyleSheet CSSStyleSheet::parse(std::string_view rawText) {
    const std::string text = withoutComments(rawText);
    CSSStyleSheet sheet;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (isBlank(text[i]) || text[i] == '}' || text[i] == ';'))
            ++i;
        if (i >= text.size())
            break;
        if (text[i] == '@') {
            // An at-rule ends at its semicolon or with its block.
            const std::size_t end = findOutside(text, i, ";{");
            i = end < text.size() && text[end] == '{' ? skipBlock(text, end) : end + 1;
            continue;
        }
        const std::size_t open = findOutside(text, i, "{");
        if (open == text.size())
            break;
        const std::string_view prelude(text.data() + i, open - i);
        const std::size_t next = skipBlock(text, open);
        const std::size_t bodyEnd = next == text.size() && text.back() != '}' ? text.size() : next - 1;
        const std::string_view body(text.data() + open + 1, bodyEnd - open - 1);
        i = next;

        std::vector<CSSSelector> selectors;
        bool valid = true;
        std::size_t from = 0;
        while (valid && from <= prelude.size()) {
            const std::size_t comma = std::min(prelude.find(',', from), prelude.size());
            CSSSelector selector;
            valid = CSSSelector::parse(prelude.substr(from, comma - from), selector);
            selectors.push_back(std::move(selector));
            from = comma + 1;
        }
        if (!valid)
            continue;
        const std::vector<CSSDeclaration> declarations = parseDeclarations(body);
        for (CSSSelector& selector : selectors) {
            sheet.rules_.push_back(CSSStyleRule{std::move(selector), declarations, sheet.rules_.size()});
        }
    }
    return sheet;
}

void CSSStyleSheet::append(const CSSStyleSheet& other) {
    for (const CSSStyleRule& rule : other.rules_) {
        rules_.push_back(CSSStyleRule{rule.selector, rule.declarations, rules_.size()});
    }
}

}  // namespace orvane
