// attributedStringFromHTML(html, css, wrapTag) on fragments of 4 KiB and
// 64 KiB, beside a plain gumbo_parse + gumbo_destroy_output of the same
// composed document (as UTF-8). The library's side also encodes the
// document as UTF-16 and back, checks its bounds, runs the cascade and
// builds the styled text.
#include "Presentation/AttributedStringFromHTML.hpp"

#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Property = orvane::CSSRule::Property;

const std::vector<orvane::CSSRule>& sheet() {
    static const std::vector<orvane::CSSRule> css = {
        orvane::CSSRule::p({Property::fontFamily("Cantarell"), Property::fontSize(11),
                            Property::fontColor("#333"), Property::margin(4)}),
        orvane::CSSRule::span({Property::fontColor("rgb(10, 20, 30)")}),
        orvane::CSSRule::em({Property::fontStyle(Property::FontStyle::normal)})};
    return css;
}

// Paragraphs of mixed inline markup, repeated to about `bytes`.
std::string fragment(std::size_t bytes) {
    const std::string paragraph =
        "<p>Your vault <b>Personal</b> holds <em>42</em> items; <a href=\"https://example.org/help\">read "
        "more</a> "
        "about <span style=\"color: teal\">sharing</span> and <i>backups</i>.</p>\n"
        "<ul><li>One &amp; two</li><li>Three <u>four</u></li></ul>\n";
    std::string html;
    while (html.size() + paragraph.size() <= bytes)
        html += paragraph;
    return html;
}

void LibraryAttributedStringFromHTML(benchmark::State& state) {
    const std::string html = fragment(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto text = orvane::attributedStringFromHTML(html, sheet(), "div");
        if (!text)
            throw std::runtime_error("the reader refused the benchmark document");
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

void BaselineGumboParse(benchmark::State& state) {
    const std::string document =
        orvane::htmlDocument(fragment(static_cast<std::size_t>(state.range(0))), sheet(), "div");
    for (auto _ : state) {
        GumboOutput* output =
            gumbo_parse_with_options(&kGumboDefaultOptions, document.data(), document.size());
        benchmark::DoNotOptimize(output);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document.size()));
}

BENCHMARK(LibraryAttributedStringFromHTML)->Arg(4 << 10)->Arg(64 << 10);
BENCHMARK(BaselineGumboParse)->Arg(4 << 10)->Arg(64 << 10);

}  // namespace

BENCHMARK_MAIN();
