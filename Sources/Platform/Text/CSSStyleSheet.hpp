// CSSStyleSheet: the small CSS engine behind the HTML reader — parses style
// sheets and style attributes and says which rules match an element.
//
// Supported: rules made of a selector list and declarations; selectors by
// type (case-insensitive), `*`, `.class`, `#id`, compounds of those
// (`p.note#first`), grouping with commas and the descendant combinator
// (blank). A selector using anything else (`>`, `+`, `~`, attributes,
// pseudo-classes) drops its whole rule, as CSS says of an invalid selector.
// At-rules (`@media`, `@import`, ...) and their blocks are skipped, so are
// comments; `!important` is accepted and ignored. Declarations keep their
// order; property names are lowercased, values trimmed. No property is
// interpreted here: the reader decides which it knows.
//
// Specificity is (ids, classes, types), compared in that order; rules of
// equal specificity apply in source order (CSSStyleRule::order).
//
// Thread safety: a value; const access from many threads is safe.
//
//   auto sheet = orvane::CSSStyleSheet::parse("p.note { color: red }");
//   sheet.rules()[0].declarations[0].property;   // "color"
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct CSSDeclaration {
    std::string property;
    std::string value;

    bool operator==(const CSSDeclaration&) const = default;
};

// What a selector sees of an element: tag name (lowercase), id and classes.
struct CSSElement {
    std::string_view tag;
    std::string_view id;
    std::vector<std::string_view> classes;
};

class CSSSelector final {
public:
    struct Compound {
        std::string type;  // lowercase; empty for `*` or none
        std::vector<std::string> ids;
        std::vector<std::string> classes;
    };

    // Parses one selector of a group; false when it uses anything unsupported.
    static bool parse(std::string_view text, CSSSelector& selector);

    // (ids << 20) | (classes << 10) | types, each count saturated at 1023.
    std::uint32_t specificity() const noexcept { return specificity_; }

    // The type of the last compound (what the element itself must be), or
    // empty when any type matches.
    const std::string& lastType() const noexcept { return compounds_.back().type; }

    // Whether the selector matches `element`, whose ancestors are given from
    // the root down (the parent last).
    bool matches(const CSSElement& element, std::span<const CSSElement* const> ancestors) const;

private:
    std::vector<Compound> compounds_;  // left to right
    std::uint32_t specificity_ = 0;
};

struct CSSStyleRule {
    CSSSelector selector;
    std::vector<CSSDeclaration> declarations;
    std::size_t order = 0;  // position in the sheet
};

class CSSStyleSheet final {
public:
    // Parses a whole sheet; never fails, skipping what it cannot read.
    static CSSStyleSheet parse(std::string_view text);
    // Parses the body of a rule or a style attribute: "color: red; margin: 0".
    static std::vector<CSSDeclaration> parseDeclarations(std::string_view text);

    // Rules of a sheet made of several (`<style>` blocks in document order).
    void append(const CSSStyleSheet& other);

    // One rule per selector of each group, in source order.
    const std::vector<CSSStyleRule>& rules() const noexcept { return rules_; }

private:
    std::vector<CSSStyleRule> rules_;
};

}  // namespace orvane
