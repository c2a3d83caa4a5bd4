// orvane html: reads an HTML fragment from stdin and prints the styled text
// the library makes of it.
//
//   orvane html [--css RULES] [--font NAME:SIZE] [--tag TAG] [--pango] < fragment.html
//
// Without options the fragment is read as it is. --font styles `span` with
// that family and size (as the font form of the library does), --css adds
// style rules as written, and --tag (default "span") wraps the fragment.
// The output is the text and one line per attribute run, or with --pango
// the Pango markup. Exit statuses: 0 success, 1 the reader refused the
// input (not UTF-8, or beyond its size, depth or tag bounds), 2 bad
// command line.
#pragma once

namespace orvane::cli {

// argv[0] is the word "html".
int runHTMLCommand(int argc, char** argv);

}  // namespace orvane::cli
