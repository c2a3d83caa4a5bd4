#include "Platform/Text/HTMLReader.hpp"
#include "Presentation/AttributedStringFromHTML.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace orvane {
namespace {

using Property = CSSRule::Property;

// The attributes at the first occurrence of `needle` in the text.
TextAttributes attributesAt(const NSAttributedString& text, const std::string& needle) {
    const std::size_t offset = text.string().find(needle);
    EXPECT_NE(offset, std::string::npos) << needle << " not in " << text.string();
    for (const auto& run : text.runs()) {
        if (offset >= run.byteOffset && offset < run.byteOffset + run.byteLength)
            return run.attributes;
    }
    return {};
}

NSAttributedString read(const std::string& html) {
    const auto text = attributedStringFromHTML(html);
    EXPECT_TRUE(text.has_value()) << html;
    return text.value_or(NSAttributedString());
}

TEST(HTMLDocument, ComposesStyleBlockTagAndFragmentLiterally) {
    const std::vector<CSSRule> two = {CSSRule::p({Property::fontSize(12)}), CSSRule::em({})};
    EXPECT_EQ(htmlDocument("100% <b>x</b>", two, "p"),
              "<style>p { font-size: 12.0px; } em { ; }</style>\n<p>100% <b>x</b></p>");
    EXPECT_EQ(htmlDocument("a", {}, ""), "<style></style>\n<>a</>");
    EXPECT_EQ(attributedStringFromHTML("a", {}, "").value().string(), "<>a");  // HTML reads "<>" as text
}

TEST(HTMLDocument, EncodedAsUTF16WithByteOrderMark) {
    const auto data = utf16DocumentData("a\xF0\x9F\x94\x91");  // "a" and U+1F511
    ASSERT_TRUE(data.has_value());
    const std::vector<std::uint8_t> littleEndian = {0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x11, 0xDD};
    EXPECT_EQ(*data, littleEndian);
    EXPECT_FALSE(utf16DocumentData("\xC3(").has_value());
    EXPECT_FALSE(attributedStringFromHTML("bad \xFF byte").has_value());
}

TEST(AttributedStringFromHTML, FontRuleReachesWrappedText) {
    const auto text =
        attributedStringFromHTML("Hello <b>world</b> 100%", NSFont("Helvetica Neue", 11), "span");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->string(), "Hello world 100%");
    const TextAttributes hello = attributesAt(*text, "Hello");
    EXPECT_EQ(hello.fontFamily, "Helvetica Neue");
    EXPECT_EQ(hello.fontSize, 11.0);
    EXPECT_FALSE(hello.bold);
    EXPECT_FALSE(attributesAt(*text, " ").bold);  // the blank before <b> is plain
    const TextAttributes world = attributesAt(*text, "world");
    EXPECT_EQ(world.fontFamily, "Helvetica Neue");
    EXPECT_EQ(text->length(), 16u);
}

TEST(AttributedStringFromHTML, RulesStyleTheirElements) {
    const std::vector<CSSRule> css = {
        CSSRule::p({Property::fontColor("rgb(0, 128, 255)"), Property::textAlign(NSTextAlignment::center),
                    Property::margin(4), Property::padding(2)}),
        CSSRule::em({Property::fontStyle(Property::FontStyle::normal)})};
    const auto text = attributedStringFromHTML("Plain <em>upright</em>", css, "p");
    ASSERT_TRUE(text.has_value());
    const TextAttributes plain = attributesAt(*text, "Plain");
    EXPECT_EQ(plain.foregroundColor, (NSColor{0, 128, 255, 1.0}));
    EXPECT_EQ(plain.paragraphStyle.alignment, NSTextAlignment::center);
    EXPECT_EQ(plain.paragraphStyle.headIndent, 6.0);
    EXPECT_EQ(plain.paragraphStyle.paragraphSpacingBefore, 6.0);
    EXPECT_FALSE(attributesAt(*text, "upright").italic);
}

TEST(HTMLReader, Cascade) {
    struct Case {
        const char* html;  // styles its text "x"
        bool bold;
        bool italic;
        double size;
    };
    const std::vector<Case> cases = {
        {"<em>x</em>", false, true, 12},
        {"<style>p { font-size: 20px }</style><p style='font-size: 9pt'>x</p>", false, false, 9},
        {"<style>#i { font-size: 30px } .c { font-size: 20px } p { font-size: 10px }</style><p class=c id=i>x</p>",
         false, false, 30},
        {"<style>.c { font-size: 20px } p { font-size: 10px }</style><p class=c>x</p>", false, false, 20},
        {"<style>p { font-size: 20px } p { font-size: 10px }</style><p>x</p>", false, false, 10},
        {"<style>div p { font-weight: bold } p { font-weight: normal }</style><div><p>x</p></div>", true, false, 12},
        {"<style>div p { font-weight: bold }</style><p>x</p>", false, false, 12},
        {"<style>*, .q { font-style: italic }</style><span>x</span>", false, true, 12},
        {"<style>p > b { font-size: 40px } b { font-size: 8px }</style><p><b>x</b></p>", true, false, 8},
        {"<style>@media print { b { font-size: 40px } } b { font-size: 7px; bogus: 1 }</style><b>x</b>", true,
         false, 7},
        {"<div style='font-size: 2em'><span style='font-size: 50%'>x</span></div>", false, false, 12},
        {"<h1>x</h1>", true, false, 24},
        {"<strong style='font-weight: 300'>x</strong>", false, false, 12},
    };
    for (const Case& c : cases) {
        const TextAttributes attributes = attributesAt(read(c.html), "x");
        EXPECT_EQ(attributes.bold, c.bold) << c.html;
        EXPECT_EQ(attributes.italic, c.italic) << c.html;
        EXPECT_EQ(attributes.fontSize, c.size) << c.html;
    }
}

TEST(HTMLReader, InheritsFontColourAndAlignmentNotMargins) {
    const NSAttributedString text = read(
        "<div style='color: teal; margin-left: 10px; text-align: right; "
        "font-family: \"Fira Sans\", sans-serif'><span>x</span></div>");
    const TextAttributes x = attributesAt(text, "x");
    EXPECT_EQ(x.foregroundColor, (NSColor{0, 128, 128, 1.0}));
    EXPECT_EQ(x.fontFamily, "Fira Sans");
    EXPECT_EQ(x.paragraphStyle.alignment, NSTextAlignment::right);
    EXPECT_EQ(x.paragraphStyle.headIndent, 10.0);
    // A nested block adds its own margin to the inherited indent, once.
    const TextAttributes nested = attributesAt(read("<div style='margin: 5px'><div style='margin: 0 0 0 3px'>"
                                                    "<p style='margin:0'>y</p></div></div>"),
                                               "y");
    EXPECT_EQ(nested.paragraphStyle.headIndent, 8.0);
    EXPECT_EQ(nested.paragraphStyle.paragraphSpacingBefore, 0.0);
    // Inline elements keep their block's paragraph, and the line feed ending
    // a paragraph is styled with it.
    const NSAttributedString two = read("<p style='color: red; margin: 2px'>a <b>b</b></p><p>c</p>");
    EXPECT_EQ(attributesAt(two, "b").paragraphStyle.paragraphSpacingBefore, 2.0);
    EXPECT_EQ(attributesAt(two, "\n").foregroundColor, (NSColor{255, 0, 0, 1.0}));
}

TEST(HTMLReader, TextLayout) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"  a \n\t b  <b> c </b>d ", "a b c d"},
        {"<p>one</p><p>two</p>", "one\ntwo"},
        {"a<br>b<br><br>c", "a\nb\n\nc"},
        {"<div><div>x</div></div><div>y</div>", "x\ny"},
        {"<ul><li>a</li><li>b</li></ul><ol start=3><li>c<li>d</ol>", "\u2022\ta\n\u2022\tb\n3.\tc\n4.\td"},
        {"<pre>  keep\n  this</pre>", "  keep\n  this"},
        {"<title>T</title><script>var s = 1;</script><style>p{}</style><template>t</template>body", "body"},
        {"<style>b { font-family: '</style><b>bold</b>' }</style>z", "bold' }z"},
        {"a&amp;b&lt;&#x1F511;", "a&b<\xF0\x9F\x94\x91"},
        {"", ""},
    };
    for (const auto& [html, text] : cases) {
        EXPECT_EQ(read(html).string(), text) << html;
    }
}

TEST(HTMLReader, Links) {
    const NSAttributedString text = read("<a href='https://example.org/?a=1&amp;b'>go</a> <a>none</a>");
    const TextAttributes link = attributesAt(text, "go");
    EXPECT_EQ(link.link, "https://example.org/?a=1&b");
    EXPECT_TRUE(link.underline);
    EXPECT_EQ(link.foregroundColor, (NSColor{0, 0, 0xEE, 1.0}));
    EXPECT_EQ(attributesAt(text, "none"), attributesAt(text, " "));  // plain, like the blank between
}

TEST(HTMLReader, DecodesByteOrderMarks) {
    const std::vector<std::uint8_t> bigEndian = {0xFE, 0xFF, 0, 'h', 0, 'i'};
    EXPECT_EQ(HTMLReader::read(bigEndian).value().string(), "hi");
    const std::vector<std::uint8_t> utf8 = {0xEF, 0xBB, 0xBF, 'h', 'i'};
    EXPECT_EQ(HTMLReader::read(utf8).value().string(), "hi");
    const std::vector<std::vector<std::uint8_t>> invalid = {
        {0xFF, 0xFE, 'h'},                 // odd byte count
        {0xFF, 0xFE, 0x00, 0xD8, 'h', 0},  // lone high surrogate
        {0xFF, 0xFE, 0x00, 0xDC},          // lone low surrogate
        {'h', 0xC0, 0x80},                 // overlong UTF-8
    };
    for (const auto& bytes : invalid) {
        EXPECT_FALSE(HTMLReader::read(bytes).has_value());
    }
}

TEST(HTMLReader, RefusesDocumentsBeyondItsBounds) {
    HTMLReader::Limits limits{.maxTags = 1000, .maxDepth = 100, .maxNodes = 5000};
    const auto repeated = [](const std::string& piece, int times) {
        std::string result;
        while (times-- > 0)
            result += piece;
        return result;
    };
    EXPECT_FALSE(HTMLReader::readUTF8(repeated("<div>", 101), limits).has_value());
    const std::string paragraphs = repeated("<p>x", 500);  // optional end tags don't deepen
    EXPECT_TRUE(HTMLReader::readUTF8(paragraphs, limits).has_value());
    EXPECT_FALSE(HTMLReader::readUTF8(paragraphs + paragraphs + "<br>", limits).has_value());
    std::string reopened;  // unclosed formatting elements, reopened by every paragraph
    for (int i = 0; i < 20; ++i)
        reopened += "<b id=" + std::to_string(i) + ">";
    EXPECT_FALSE(HTMLReader::readUTF8(reopened + repeated("</p>x", 300), limits).has_value());
    limits.maxBytes = 10;
    EXPECT_FALSE(HTMLReader::readUTF8("01234567890", limits).has_value());
    // Within the default bounds, depth is no problem for the iterative walk.
    EXPECT_EQ(HTMLReader::readUTF8(repeated("<span>", 500) + "deep").value().string(), "deep");
}

}  // namespace
}  // namespace orvane
