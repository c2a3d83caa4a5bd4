#include "Platform/Foundation/URL.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

using orvane::URL;
using namespace std::string_view_literals;

namespace {

URL parsed(std::string_view text) {
    auto url = URL::fromString(text);
    EXPECT_TRUE(url.has_value()) << text;
    return url.value_or(URL::fileURLWithPath("/", true));
}

}  // namespace

TEST(URLFromPath, encodesResolvesAndMarksDirectories) {
    EXPECT_EQ(URL::fileURLWithPath("/tmp/a b.plist", false).absoluteString(), "file:///tmp/a%20b.plist");
    const URL tricky = URL::fileURLWithPath("/tmp/100%/x#y?z/\xC3\xA9", false);
    EXPECT_EQ(tricky.absoluteString(), "file:///tmp/100%25/x%23y%3Fz/%C3%A9");
    EXPECT_EQ(tricky.path(), "/tmp/100%/x#y?z/\xC3\xA9");

    const auto cwd = std::filesystem::current_path();
    EXPECT_EQ(URL::fileURLWithPath("notes.txt", false).path(), (cwd / "notes.txt").string());
    EXPECT_EQ(URL::fileURLWithPath("").path(), cwd.string());
    const auto temp = std::filesystem::temp_directory_path();
    EXPECT_TRUE(URL::fileURLWithPath(temp.string()).hasDirectoryPath());
    EXPECT_FALSE(URL::fileURLWithPath((temp / "no such file here").string()).hasDirectoryPath());
    EXPECT_EQ(URL::fileURLWithPath("/a/b", true).absoluteString(), "file:///a/b/");
    // A path ends where a C file API would stop reading it.
    EXPECT_EQ(URL::fileURLWithPath("/tmp/safe\0/../../etc/passwd"sv, false).absoluteString(),
              "file:///tmp/safe");
}

TEST(URLFromPath, everyPathRoundTripsThroughText) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string path = "/";
        for (int i = 0; i < round % 24; ++i) {
            path.push_back(static_cast<char>(byte(random)));
        }
        const URL url = URL::fileURLWithPath(path, false);
        const auto reparsed = URL::fromString(url.absoluteString());
        ASSERT_EQ(reparsed, url) << url.absoluteString();
        while (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        EXPECT_EQ(reparsed->path(), path);
    }
}

TEST(URLFromString, splitsEveryPartAndKeepsTheText) {
    const URL web = parsed("https://user:pw@example.org:8443/a/b%20c/?q=1&r=%2F#top");
    EXPECT_EQ(web.scheme(), "https");
    EXPECT_EQ(web.host(), "example.org");
    EXPECT_EQ(web.port(), 8443);
    EXPECT_EQ(web.path(), "/a/b c");
    EXPECT_EQ(web.query(), "q=1&r=%2F");
    EXPECT_EQ(web.fragment(), "top");
    EXPECT_EQ(web.absoluteString(), "https://user:pw@example.org:8443/a/b%20c/?q=1&r=%2F#top");

    EXPECT_EQ(parsed("http://[::1]:80/").host(), "::1");
    EXPECT_EQ(parsed("http://example.org:/x").port(), std::nullopt);
    EXPECT_EQ(parsed("mailto:someone@example.org").path(), "someone@example.org");
    EXPECT_TRUE(parsed("FILE:/tmp/x").isFileURL());
    EXPECT_EQ(parsed("file:///").path(), "/");

    EXPECT_EQ(URL::fileURLWithPath("/tmp/a b", false), parsed("file:///tmp/a%20b"));
    EXPECT_NE(parsed("file:///tmp/a%20b"), parsed("file:///tmp/a%20B"));
}

TEST(URLFromString, rejectsMalformedText) {
    const std::string_view malformed[] = {
        // scheme
        "", "example.org", "1http://x", "://x", "ht tp://x", " http://x",
        // characters a URL cannot hold, and bad escapes
        "http://x/a b", "http://x/<>", "http://x/{}", "http://x/a\\b", "http://x/\x01", "http://x/\xC3\xA9",
        "http://x/a\0b"sv, "http://x/[a]", "http://x/%", "http://x/%4", "http://x/%G1", "http://x/%00",
        // authority, and a second fragment mark
        "http://exa mple.org/", "http://x:65536/", "http://x:12a/", "http://[::1/", "http://[zz]/",
        "http://[::1]x/", "http://a@b@c/", "http://x/a#b#c"};
    for (const std::string_view text : malformed) {
        EXPECT_FALSE(URL::fromString(text).has_value()) << text;
    }
}

TEST(URLFromString, survivesRandomTextAndKeepsWhatItAccepts) {
    std::mt19937 random(11);
    const std::string alphabet = "ab:/?#[]@%0Fz.-+ \t\x80";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = round % 2 ? "http:" : "f";
        for (int i = 0; i < round % 16; ++i) {
            text.push_back(alphabet[pick(random)]);
        }
        if (const auto url = URL::fromString(text)) {
            ++accepted;
            EXPECT_EQ(url->absoluteString(), text);
            (void)url->host(), (void)url->port(), (void)url->path(), (void)url->lastPathComponent();
            const URL parent = url->deletingLastPathComponent();
            const URL child = url->appendingPathComponent("x y");
            EXPECT_EQ(URL::fromString(parent.absoluteString()), parent);
            EXPECT_EQ(URL::fromString(child.absoluteString()), child);
        }
    }
    EXPECT_GT(accepted, 100);
}

TEST(URLPathOperations, lastAndParentFollowThePlatform) {
    EXPECT_EQ(URL::fileURLWithPath("/a/b c.plist", false).lastPathComponent(), "b c.plist");
    EXPECT_EQ(URL::fileURLWithPath("/a/b/c", true).lastPathComponent(), "c");
    EXPECT_EQ(URL::fileURLWithPath("/", true).lastPathComponent(), "/");
    EXPECT_EQ(parsed("http://h").lastPathComponent(), "");
    EXPECT_EQ(parsed("http://h/a%2Fb").lastPathComponent(), "a/b");

    const auto parentOf = [](std::string_view text) {
        return parsed(text).deletingLastPathComponent().absoluteString();
    };
    EXPECT_EQ(parentOf("file:///a/b/c"), "file:///a/b/");
    EXPECT_EQ(parentOf("file:///a/b/"), "file:///a/");
    EXPECT_EQ(parentOf("file:///a"), "file:///");
    EXPECT_EQ(parentOf("file:///"), "file:///");
    EXPECT_EQ(parentOf("file:///a/.."), "file:///a/../../");
    EXPECT_EQ(parentOf("file:///a/."), "file:///a/../");
    EXPECT_EQ(parentOf("https://h:1/a/b?q#f"), "https://h:1/a/?q#f");
    EXPECT_EQ(URL::fileURLWithPath("/tmp/x y/z", false).deletingLastPathComponent().path(), "/tmp/x y");
}

TEST(URLPathOperations, appendingPathComponentEncodesTheName) {
    const URL folder = URL::fileURLWithPath("/tmp", false);
    EXPECT_EQ(folder.appendingPathComponent("a b?#%").absoluteString(), "file:///tmp/a%20b%3F%23%25");
    EXPECT_EQ(folder.appendingPathComponent("a b?#%").path(), "/tmp/a b?#%");
    EXPECT_EQ(URL::fileURLWithPath("/tmp", true).appendingPathComponent("x").absoluteString(),
              "file:///tmp/x");
    EXPECT_EQ(folder.appendingPathComponent("/x/y").absoluteString(), "file:///tmp/x/y");
    EXPECT_EQ(folder.appendingPathComponent(""), folder);
    EXPECT_EQ(folder.appendingPathComponent("a\0b"sv).path(), "/tmp/a");
    EXPECT_EQ(parsed("http://h").appendingPathComponent("x").absoluteString(), "http://h/x");
    EXPECT_EQ(parsed("http://h/a?q=1#f").appendingPathComponent("b").absoluteString(), "http://h/a/b?q=1#f");
    // Must not turn into an authority on a URL that has none.
    EXPECT_EQ(parsed("file:/").appendingPathComponent("//x").absoluteString(), "file:/x");
}
