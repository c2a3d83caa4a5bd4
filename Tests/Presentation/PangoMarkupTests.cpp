#include "Platform/Text/NSApplication.hpp"
#include "Platform/Text/PangoMarkup.hpp"
#include "Presentation/AttributedStringFromHTML.hpp"

#include <gtest/gtest.h>
#include <pango/pango.h>

#include <string>
#include <vector>

namespace orvane {
namespace {

// One attribute run as Pango reads the markup back.
struct PangoRun {
    std::size_t start = 0;
    std::size_t end = 0;
    std::string family;
    int size = 0;
    PangoStyle style = PANGO_STYLE_NORMAL;
    PangoWeight weight = PANGO_WEIGHT_NORMAL;
    bool underline = false;
    bool strikethrough = false;
    bool hasForeground = false;
    guint16 red = 0, green = 0, blue = 0;
};

// Parses markup and lists its runs; fails the test when Pango refuses it.
std::vector<PangoRun> parse(const std::string& markup, std::string& text) {
    PangoAttrList* list = nullptr;
    char* plain = nullptr;
    GError* error = nullptr;
    if (!pango_parse_markup(markup.c_str(), static_cast<int>(markup.size()), 0, &list, &plain, nullptr,
                            &error)) {
        ADD_FAILURE() << (error != nullptr ? error->message : "?") << " in " << markup;
        g_clear_error(&error);
        return {};
    }
    text = plain;
    g_free(plain);
    std::vector<PangoRun> runs;
    PangoAttrIterator* iterator = pango_attr_list_get_iterator(list);
    do {
        PangoRun run;
        int start = 0, end = 0;
        pango_attr_iterator_range(iterator, &start, &end);
        if (static_cast<std::size_t>(start) >= text.size())
            break;
        run.start = static_cast<std::size_t>(start);
        run.end = std::min(static_cast<std::size_t>(end), text.size());
        PangoFontDescription* font = pango_font_description_new();
        pango_attr_iterator_get_font(iterator, font, nullptr, nullptr);
        run.family = pango_font_description_get_family(font) ? pango_font_description_get_family(font) : "";
        run.size = pango_font_description_get_size(font);
        run.style = pango_font_description_get_style(font);
        run.weight = pango_font_description_get_weight(font);
        pango_font_description_free(font);
        if (auto* underline =
                reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(iterator, PANGO_ATTR_UNDERLINE))) {
            run.underline = underline->value != PANGO_UNDERLINE_NONE;
        }
        if (auto* strike = reinterpret_cast<PangoAttrInt*>(
                pango_attr_iterator_get(iterator, PANGO_ATTR_STRIKETHROUGH))) {
            run.strikethrough = strike->value != 0;
        }
        if (auto* color =
                reinterpret_cast<PangoAttrColor*>(pango_attr_iterator_get(iterator, PANGO_ATTR_FOREGROUND))) {
            run.hasForeground = true;
            run.red = color->color.red;
            run.green = color->color.green;
            run.blue = color->color.blue;
        }
        runs.push_back(run);
    } while (pango_attr_iterator_next(iterator));
    pango_attr_iterator_destroy(iterator);
    pango_attr_list_unref(list);
    return runs;
}

void expectSameRuns(const NSAttributedString& text) {
    std::string plain;
    const std::vector<PangoRun> pangoRuns = parse(pangoMarkup(text), plain);
    std::string expectedText = text.string();
    for (char& c : expectedText) {
        if (c == '\0')
            c = '?';
    }
    std::string shown = plain;
    for (std::size_t i = shown.find("\xEF\xBF\xBD"); i != std::string::npos;
         i = shown.find("\xEF\xBF\xBD", i)) {
        shown.replace(i, 3, "?");
    }
    ASSERT_EQ(shown, expectedText);
    ASSERT_EQ(pangoRuns.size(), text.runs().size()) << pangoMarkup(text);
    const bool hasNul = text.string().find('\0') != std::string::npos;
    for (std::size_t i = 0; i < pangoRuns.size(); ++i) {
        const PangoRun& pango = pangoRuns[i];
        const TextAttributes& ours = text.runs()[i].attributes;
        if (!hasNul) {
            EXPECT_EQ(pango.start, text.runs()[i].byteOffset);
            EXPECT_EQ(pango.end, text.runs()[i].byteOffset + text.runs()[i].byteLength);
        }
        EXPECT_EQ(pango.family, ours.fontFamily);
        EXPECT_EQ(pango.size, static_cast<int>(ours.fontSize * 1024));
        EXPECT_EQ(pango.style == PANGO_STYLE_ITALIC, ours.italic);
        EXPECT_EQ(pango.weight == PANGO_WEIGHT_BOLD, ours.bold);
        EXPECT_EQ(pango.underline, ours.underline);
        EXPECT_EQ(pango.strikethrough, ours.strikethrough);
        EXPECT_EQ(pango.hasForeground, ours.foregroundColor.has_value());
        if (ours.foregroundColor) {
            EXPECT_EQ(pango.red, ours.foregroundColor->red * 257);
            EXPECT_EQ(pango.green, ours.foregroundColor->green * 257);
            EXPECT_EQ(pango.blue, ours.foregroundColor->blue * 257);
        }
    }
}

TEST(PangoMarkup, ReadsBackRunByRun) {
    const std::vector<std::string> fragments = {
        "Plain <b>bold</b> <i>italic</i> <u>under</u> <s>struck</s> <a href='x'>link</a>",
        "<span style='color: #123456; font-family: \"A &amp; <B>\"; font-size: 10.5pt'>esc &lt;&amp;&gt; \" "
        "'</span>",
        "<h2 style='color: rebeccapurple'>Title</h2><p>body \xF0\x9F\x94\x91</p>",
    };
    for (const std::string& fragment : fragments) {
        SCOPED_TRACE(fragment);
        const auto text = attributedStringFromHTML(fragment, NSFont("DejaVu Sans", 13), "span");
        ASSERT_TRUE(text.has_value());
        expectSameRuns(*text);
    }
}

TEST(PangoMarkup, ReplacesNulAndEscapesFamilies) {
    TextAttributes attributes;
    attributes.fontFamily = "Q\"uote'<>&";
    NSAttributedString text(std::string("a\0b", 3), attributes);
    expectSameRuns(text);
}

TEST(PangoMarkup, ParagraphsFollowTheLayoutDirection) {
    const auto text = attributedStringFromHTML(
        "<p style='margin: 0 0 0 8px'>one</p><p style='text-align: justify'>two</p><p "
        "style='text-align:center'>3</p>");
    ASSERT_TRUE(text.has_value());
    NSApplication& application = NSApplication::sharedApplication();
    application.setUserInterfaceLayoutDirection(NSUserInterfaceLayoutDirection::rightToLeft);
    const std::vector<PangoParagraph> rightToLeft = pangoParagraphs(*text);
    application.setUserInterfaceLayoutDirection(NSUserInterfaceLayoutDirection::leftToRight);
    const std::vector<PangoParagraph> leftToRight = pangoParagraphs(*text);
    application.resetUserInterfaceLayoutDirection();
    ASSERT_EQ(leftToRight.size(), 3u);
    ASSERT_EQ(rightToLeft.size(), 3u);
    EXPECT_EQ(leftToRight[0].byteLength, 4u);
    EXPECT_EQ(leftToRight[1].byteOffset, 4u);
    EXPECT_EQ(leftToRight[0].alignment, PANGO_ALIGN_LEFT);
    EXPECT_EQ(rightToLeft[0].alignment, PANGO_ALIGN_RIGHT);
    EXPECT_EQ(leftToRight[0].leftMargin, 8.0);
    EXPECT_EQ(rightToLeft[0].rightMargin, 8.0);
    EXPECT_TRUE(leftToRight[1].justify);
    EXPECT_EQ(leftToRight[2].alignment, PANGO_ALIGN_CENTER);
    EXPECT_EQ(rightToLeft[2].alignment, PANGO_ALIGN_CENTER);
}

}  // namespace
}  // namespace orvane
