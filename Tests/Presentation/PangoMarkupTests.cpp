#include "Platform/Text/NSApplication.hpp"
#include "Platform/Text/PangoMarkup.hpp"
#include "Presentation/AttributedStringFromHTML.hpp"

#include <gtest/gtest.h>
#include <pango/pango.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

namespace orvane {
namespace {

// Has Pango parse the markup of `text` and checks that it reads back the
// same text (NUL shown as U+FFFD) and, run by run, the same attributes.
void expectSameRuns(const NSAttributedString& text) {
    const std::string markup = pangoMarkup(text);
    PangoAttrList* list = nullptr;
    char* parsed = nullptr;
    GError* error = nullptr;
    ASSERT_TRUE(pango_parse_markup(markup.c_str(), static_cast<int>(markup.size()), 0, &list, &parsed, nullptr,
                                   &error))
        << (error != nullptr ? error->message : "?") << " in " << markup;
    const std::string plain = parsed;
    g_free(parsed);
    std::string expectedText = text.string();
    std::replace(expectedText.begin(), expectedText.end(), '\0', '?');
    ASSERT_EQ(std::regex_replace(plain, std::regex("\xEF\xBF\xBD"), "?"), expectedText);
    const bool hasNul = text.string().find('\0') != std::string::npos;
    PangoAttrIterator* iterator = pango_attr_list_get_iterator(list);
    std::size_t index = 0;
    do {
        int start = 0, end = 0;
        pango_attr_iterator_range(iterator, &start, &end);
        if (static_cast<std::size_t>(start) >= plain.size())
            break;
        ASSERT_LT(index, text.runs().size()) << markup;
        const NSAttributedString::Run& run = text.runs()[index++];
        const TextAttributes& ours = run.attributes;
        SCOPED_TRACE(index);
        if (!hasNul) {
            EXPECT_EQ(static_cast<std::size_t>(start), run.byteOffset);
            EXPECT_EQ(std::min(static_cast<std::size_t>(end), plain.size()), run.byteOffset + run.byteLength);
        }
        PangoFontDescription* font = pango_font_description_new();
        pango_attr_iterator_get_font(iterator, font, nullptr, nullptr);
        const char* family = pango_font_description_get_family(font);
        EXPECT_EQ(family != nullptr ? family : "", ours.fontFamily);
        EXPECT_EQ(pango_font_description_get_size(font), static_cast<int>(ours.fontSize * 1024));
        EXPECT_EQ(pango_font_description_get_style(font) == PANGO_STYLE_ITALIC, ours.italic);
        EXPECT_EQ(pango_font_description_get_weight(font) == PANGO_WEIGHT_BOLD, ours.bold);
        pango_font_description_free(font);
        const auto* underline =
            reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(iterator, PANGO_ATTR_UNDERLINE));
        EXPECT_EQ(underline != nullptr && underline->value != PANGO_UNDERLINE_NONE, ours.underline);
        const auto* strike =
            reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(iterator, PANGO_ATTR_STRIKETHROUGH));
        EXPECT_EQ(strike != nullptr && strike->value != 0, ours.strikethrough);
        const auto* color =
            reinterpret_cast<PangoAttrColor*>(pango_attr_iterator_get(iterator, PANGO_ATTR_FOREGROUND));
        ASSERT_EQ(color != nullptr, ours.foregroundColor.has_value());
        if (color != nullptr) {
            EXPECT_EQ(color->color.red, ours.foregroundColor->red * 257);
            EXPECT_EQ(color->color.green, ours.foregroundColor->green * 257);
            EXPECT_EQ(color->color.blue, ours.foregroundColor->blue * 257);
        }
    } while (pango_attr_iterator_next(iterator));
    pango_attr_iterator_destroy(iterator);
    pango_attr_list_unref(list);
    EXPECT_EQ(index, text.runs().size()) << markup;
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
    // NUL is replaced; a family name is escaped.
    TextAttributes attributes;
    attributes.fontFamily = "Q\"uote'<>&";
    expectSameRuns(NSAttributedString(std::string("a\0b", 3), attributes));
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
