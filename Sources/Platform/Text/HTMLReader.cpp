#include "Platform/Text/HTMLReader.hpp"

#include "Platform/Text/HTMLTextBasics.hpp"

#include "Platform/Text/CSSCascade.hpp"
#include "Platform/Text/CSSStyleSheet.hpp"
#include "Platform/Foundation/UTF8Validation.hpp"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvane {

namespace {

using htmltext::isHTMLSpace;
using htmltext::lowercased;
using htmltext::words;

// The default looks, as the reader's own style sheet.
constexpr std::string_view defaultSheetText = R"css(
b, strong { font-weight: bold }
i, em, cite, var, dfn, address { font-style: italic }
u, ins { text-decoration: underline }
s, strike, del { text-decoration: line-through }
h1 { font-size: 2em; font-weight: bold; margin: 0.67em 0 }
h2 { font-size: 1.5em; font-weight: bold; margin: 0.83em 0 }
h3 { font-size: 1.17em; font-weight: bold; margin: 1em 0 }
h4 { font-size: 1em; font-weight: bold; margin: 1.33em 0 }
h5 { font-size: 0.83em; font-weight: bold; margin: 1.67em 0 }
h6 { font-size: 0.67em; font-weight: bold; margin: 2.33em 0 }
p, dl { margin: 1em 0 }
ul, ol { margin: 1em 0; padding-left: 40px }
dd { margin-left: 40px }
blockquote { margin: 1em 40px }
pre, code, tt, kbd, samp, textarea { font-family: Courier }
th { font-weight: bold }
center { text-align: center }
small { font-size: smaller }
big { font-size: larger }
)css";


bool isASCIILetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}


bool isOneOf(std::string_view tag, std::initializer_list<std::string_view> tags) {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

bool isVoid(std::string_view tag) {
    return isOneOf(tag, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
                         "source", "track", "wbr", "keygen", "image"});
}

// Elements whose end tag HTML lets the parser imply; they don't nest in
// themselves, so they are left out of the depth estimate.
bool hasOptionalEnd(std::string_view tag) {
    return isOneOf(tag,
                   {"p",     "li",    "dt",       "dd", "option", "optgroup", "tr",  "td",   "th",   "tbody",
                    "thead", "tfoot", "colgroup", "rb", "rt",     "rp",       "rtc", "html", "head", "body"});
}

bool isFormatting(std::string_view tag) {
    return isOneOf(tag, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong",
                         "tt", "u"});
}

bool isBlock(std::string_view tag) {
    return isOneOf(
        tag, {"address",  "article", "aside", "blockquote", "body",    "caption",  "center",     "dd",
              "details",  "dialog",  "div",   "dl",         "dt",      "fieldset", "figcaption", "figure",
              "footer",   "form",    "h1",    "h2",         "h3",      "h4",       "h5",         "h6",
              "header",   "hr",      "html",  "legend",     "li",      "main",     "menu",       "nav",
              "ol",       "p",       "pre",   "section",    "summary", "table",    "tr",         "ul",
              "textarea", "listing", "xmp",   "plaintext"});
}

bool givesNoText(std::string_view tag) {
    return isOneOf(tag, {"head", "script", "style", "title", "template", "noscript"});
}

bool isPreformatted(std::string_view tag) {
    return isOneOf(tag, {"pre", "textarea", "listing", "xmp", "plaintext"});
}

// ---- decoding ----

void appendUTF8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::optional<std::string> decodeUTF16(std::span<const std::uint8_t> bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    auto unit = [&](std::size_t i) -> char16_t {
        return bigEndian ? static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1])
                         : static_cast<char16_t>(bytes[i + 1] << 8 | bytes[i]);
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const char16_t first = unit(i);
        if (first >= 0xD800 && first <= 0xDBFF) {
            if (i + 2 >= bytes.size())
                return std::nullopt;
            const char16_t second = unit(i + 2);
            if (second < 0xDC00 || second > 0xDFFF)
                return std::nullopt;
            appendUTF8(out, 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) + (second - 0xDC00));
            i += 2;
        } else if (first >= 0xDC00 && first <= 0xDFFF) {
            return std::nullopt;
        } else {
            appendUTF8(out, first);
        }
    }
    return out;
}


struct Style {
    TextAttributes text;
    bool preformatted = false;
};

const CSSStyleSheet& defaultSheet() {
    static const CSSStyleSheet sheet = CSSStyleSheet::parse(defaultSheetText);
    return sheet;
}

// ---- output ----

class Writer {
public:
    void text(std::string_view raw, const TextAttributes& attributes, bool preformatted) {
        if (preformatted) {
            emit(raw, attributes);
            return;
        }
        buffer_.clear();
        bool leadingSpace = false;
        bool trailingSpace = false;
        for (const char c : raw) {
            if (isHTMLSpace(c)) {
                (buffer_.empty() ? leadingSpace : trailingSpace) = true;
            } else {
                if (trailingSpace)
                    buffer_.push_back(' ');
                trailingSpace = false;
                buffer_.push_back(c);
            }
        }
        if (leadingSpace && !pendingSpace_)
            pendingSpace_ = attributes;
        if (!buffer_.empty()) {
            emit(buffer_, attributes);
            // A collapsed blank keeps the look of the text it came with.
            if (trailingSpace)
                pendingSpace_ = attributes;
        }
    }

    void blockBoundary() {
        pendingBreak_ = true;
        pendingSpace_.reset();
    }

    void lineBreak(const TextAttributes& attributes) {
        pendingSpace_.reset();
        emit("\n", attributes);
    }

    void emit(std::string_view raw, const TextAttributes& attributes) {
        if (raw.empty())
            return;
        // The line feed ending a paragraph belongs to that paragraph.
        if (pendingBreak_ && !atLineStart_) {
            const TextAttributes paragraph = result_.runs().back().attributes;
            result_.append("\n", paragraph);
        }
        pendingBreak_ = false;
        if (pendingSpace_ && !atLineStart_)
            result_.append(" ", *pendingSpace_);
        pendingSpace_.reset();
        result_.append(raw, attributes);
        atLineStart_ = raw.back() == '\n';
    }

    NSAttributedString take() { return std::move(result_); }

private:
    NSAttributedString result_;
    std::string buffer_;
    bool atLineStart_ = true;
    std::optional<TextAttributes> pendingSpace_;  // a blank to write before the next text
    bool pendingBreak_ = false;
};

std::string_view tagName(const GumboElement& element, std::string& storage) {
    if (element.tag != GUMBO_TAG_UNKNOWN)
        return gumbo_normalized_tagname(element.tag);
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    storage = lowercased(std::string_view(piece.data, piece.length));
    return storage;
}

std::string_view attribute(const GumboElement& element, const char* name) {
    const GumboAttribute* found = gumbo_get_attribute(&element.attributes, name);
    return found != nullptr ? std::string_view(found->value) : std::string_view();
}

struct Frame {
    const GumboNode* node = nullptr;
    unsigned next = 0;  // index of the next child to visit
    std::string tagStorage;
    std::string_view tag;
    CSSElement element;
    Style style;
    bool block = false;
    int listKind = 0;  // 1: ul, 2: ol
    long counter = 1;
};

// The style of an element entering the tree: the parent's, the hints of its
// markup, then the cascade.
void computeStyle(CSSCascade& cascade, Frame& frame, const Style& parent,
                  std::span<const CSSElement* const> ancestors) {
    Style& style = frame.style;
    style = parent;
    const GumboElement& element = frame.node->v.element;
    if (frame.tag == "a") {
        if (const std::string_view href = attribute(element, "href"); !href.empty()) {
            style.text.link = std::string(href);
            style.text.foregroundColor = NSColor{0, 0, 0xEE, 1.0};
            style.text.underline = true;
        }
    }
    if (isPreformatted(frame.tag))
        style.preformatted = true;
    cascade.apply(frame.element, ancestors, attribute(element, "style"), parent.text, frame.block,
                  style.text);
}

// The text of every <style> element, in document order.
std::string styleText(const GumboNode* root) {
    std::string text;
    std::vector<const GumboNode*> stack;
    const GumboVector& top = root->v.document.children;
    for (unsigned i = top.length; i-- > 0;) {
        stack.push_back(static_cast<const GumboNode*>(top.data[i]));
    }
    while (!stack.empty()) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboVector& children = node->v.element.children;
        if (node->v.element.tag == GUMBO_TAG_STYLE) {
            for (unsigned i = 0; i < children.length; ++i) {
                const auto* child = static_cast<const GumboNode*>(children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE) {
                    text.append(child->v.text.text);
                }
            }
            text.push_back('\n');
            continue;
        }
        for (unsigned i = children.length; i-- > 0;) {
            stack.push_back(static_cast<const GumboNode*>(children.data[i]));
        }
    }
    return text;
}

NSAttributedString render(const GumboNode* root) {
    const CSSStyleSheet author = CSSStyleSheet::parse(styleText(root));
    CSSCascade cascade(defaultSheet(), author);
    Writer writer;
    std::deque<Frame> frames;
    std::vector<const CSSElement*> ancestors;
    const Style rootStyle;

    auto enter = [&](const GumboNode* node) {
        const Style& parent = frames.empty() ? rootStyle : frames.back().style;
        Frame& frame = frames.emplace_back();
        frame.node = node;
        const GumboElement& element = node->v.element;
        frame.tag = tagName(element, frame.tagStorage);
        frame.element.tag = frame.tag;
        frame.element.id = attribute(element, "id");
        const std::vector<std::string_view> classes = words(attribute(element, "class"));
        frame.element.classes.assign(classes.begin(), classes.end());
        frame.block = isBlock(frame.tag);
        computeStyle(cascade, frame, parent, ancestors);
        ancestors.push_back(&frame.element);
        if (frame.block)
            writer.blockBoundary();
        if (frame.tag == "ul" || frame.tag == "ol") {
            frame.listKind = frame.tag == "ul" ? 1 : 2;
            const std::string_view start = attribute(element, "start");
            long value = 1;
            if (std::from_chars(start.data(), start.data() + start.size(), value).ec == std::errc()) {
                frame.counter = std::clamp(value, -1'000'000'000L, 1'000'000'000L);
            }
        } else if (frame.tag == "li") {
            for (auto it = std::next(frames.rbegin()); it != frames.rend(); ++it) {
                if (it->listKind == 0)
                    continue;
                const std::string marker =
                    it->listKind == 1 ? "\u2022\t" : std::to_string(it->counter++) + ".\t";
                writer.emit(marker, frame.style.text);
                break;
            }
        } else if (frame.tag == "br") {
            writer.lineBreak(frame.style.text);
        }
    };

    // The document node's children, then each element's, depth first.
    const GumboVector& top = root->v.document.children;
    for (unsigned t = 0; t < top.length; ++t) {
        const auto* first = static_cast<const GumboNode*>(top.data[t]);
        if (first->type != GUMBO_NODE_ELEMENT)
            continue;
        enter(first);
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const GumboVector& children = frame.node->v.element.children;
            if (givesNoText(frame.tag) || frame.next >= children.length) {
                if (frame.block)
                    writer.blockBoundary();
                ancestors.pop_back();
                frames.pop_back();
                continue;
            }
            const auto* child = static_cast<const GumboNode*>(children.data[frame.next++]);
            switch (child->type) {
                case GUMBO_NODE_ELEMENT:
                case GUMBO_NODE_TEMPLATE:
                    enter(child);
                    break;
                case GUMBO_NODE_TEXT:
                case GUMBO_NODE_WHITESPACE:
                case GUMBO_NODE_CDATA:
                    writer.text(child->v.text.text, frame.style.text, frame.style.preformatted);
                    break;
                default:
                    break;
            }
        }
    }
    return writer.take();
}

}  // namespace

bool HTMLReader::isWithinLimits(std::string_view html, const Limits& limits) {
    if (html.size() > limits.maxBytes)
        return false;
    std::size_t tags = 0;
    std::size_t depth = 0;
    std::size_t formatting = 0;
    std::size_t mostFormatting = 0;
    std::string name;
    for (std::size_t i = html.find('<'); i != std::string_view::npos; i = html.find('<', i + 1)) {
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        const std::size_t start = i + (closing ? 2 : 1);
        if (start >= html.size() || !isASCIILetter(html[start]))
            continue;
        std::size_t end = start;
        while (end < html.size() && !isHTMLSpace(html[end]) && html[end] != '/' && html[end] != '>')
            ++end;
        name = lowercased(html.substr(start, end - start));
        const bool counted = !isVoid(name) && !hasOptionalEnd(name);
        if (closing) {
            if (counted && depth > 0)
                --depth;
            if (isFormatting(name) && formatting > 0)
                --formatting;
            // A stray </p> or </br> makes an element of its own.
            if ((name == "p" || name == "br") && ++tags > limits.maxTags)
                return false;
            continue;
        }
        if (++tags > limits.maxTags)
            return false;
        if (counted && ++depth > limits.maxDepth)
            return false;
        if (isFormatting(name))
            mostFormatting = std::max(mostFormatting, ++formatting);
    }
    // Each start tag may make gumbo reopen every formatting element still open.
    return tags * (mostFormatting + 1) <= limits.maxNodes;
}

std::optional<NSAttributedString> HTMLReader::readUTF8(std::string_view html, const Limits& limits) {
    if (!isValidUTF8(html) || !isWithinLimits(html, limits))
        return std::nullopt;
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = limits.maxErrors;
    struct OutputDeleter {
        const GumboOptions* options;
        void operator()(GumboOutput* output) const { gumbo_destroy_output(options, output); }
    };
    const std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&options, html.data(), html.size()), OutputDeleter{&options});
    if (!output)
        return std::nullopt;
    return render(output->document);
}

std::optional<NSAttributedString> HTMLReader::read(std::span<const std::uint8_t> document,
                                                   const Limits& limits) {
    if (document.size() > limits.maxBytes * 2)
        return std::nullopt;
    if (document.size() >= 2 && (document[0] == 0xFF || document[0] == 0xFE) &&
        document[0] + document[1] == 0x1FD) {
        const std::optional<std::string> text = decodeUTF16(document.subspan(2), document[0] == 0xFE);
        if (!text)
            return std::nullopt;
        return readUTF8(*text, limits);
    }
    if (document.size() >= 3 && document[0] == 0xEF && document[1] == 0xBB && document[2] == 0xBF) {
        document = document.subspan(3);
    }
    return readUTF8(std::string_view(reinterpret_cast<const char*>(document.data()), document.size()),
                    limits);
}

}  // namespace orvane
