// CSSCascade: the computed text attributes of an element, from two style
// sheets and its style attribute — CSS's cascade over the few properties
// the HTML reader supports.
//
// Declarations apply in this order, later ones winning: the user-agent
// sheet's (the reader's default looks), then the author sheet's, each by
// specificity and then source order, then the style attribute's.
// Properties read: font-family (first family, quotes removed), font-size
// (px and pt alike — 1 px is 1 pt —, em, rem, %, the keywords, smaller and
// larger), font-style, font-weight (bold from 600), color (parseCSSColor),
// text-align, text-decoration (underline, line-through; "none" cannot
// remove an ancestor's), margin and padding (shorthands and the four sides).
// A value that cannot be read leaves the property as it was. Font, colour
// and alignment come from the parent because the caller starts from its
// values; margin and padding of a block element add to the inherited
// indents and set the paragraph's spacing, and are ignored on other
// elements.
//
// Thread safety: one cascade per thread (it keeps scratch space); the
// sheets it refers to must outlive it and stay unchanged.
//
//   orvane::CSSCascade cascade(userAgentSheet, authorSheet);
//   orvane::TextAttributes style = parentStyle;
//   cascade.apply(element, ancestors, "color: red", parentStyle, true, style);
#pragma once

#include "Platform/Text/CSSStyleSheet.hpp"
#include "Platform/Text/NSAttributedString.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane {

class CSSCascade final {
public:
    CSSCascade(const CSSStyleSheet& userAgent, const CSSStyleSheet& author);
    CSSCascade(const CSSCascade&) = delete;
    CSSCascade& operator=(const CSSCascade&) = delete;

    // `style` comes in with the parent's values (and any hints the markup
    // gives, such as a link's colour) and leaves with the element's.
    void apply(const CSSElement& element, std::span<const CSSElement* const> ancestors,
               std::string_view inlineStyle, const TextAttributes& parent, bool isBlock,
               TextAttributes& style);

private:
    // Rules indexed by the type their last compound requires; rules without
    // one (classes, ids, `*`) are tried on every element.
    struct Index {
        const CSSStyleSheet* sheet = nullptr;
        std::unordered_map<std::string_view, std::vector<std::size_t>> byType;
        std::vector<std::size_t> untyped;
    };
    struct Candidate {
        bool author;
        std::uint32_t specificity;
        std::size_t order;
        const std::vector<CSSDeclaration>* declarations;
    };

    static Index makeIndex(const CSSStyleSheet& sheet);
    void collect(const Index& index, bool author, const CSSElement& element,
                 std::span<const CSSElement* const> ancestors);

    Index userAgent_;
    Index author_;
    std::vector<Candidate> candidates_;
};

}  // namespace orvane
