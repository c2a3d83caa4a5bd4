#include "Platform/Foundation/SystemLog.hpp"
#include "Support/StandardErrorCapture.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string escapedForRegex(std::string_view text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(std::string(text), special, R"(\$&)");
}

// Matches one whole log line from this thread carrying exactly `line`.
std::regex loggedLine(std::string_view line) {
    return std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} )" +
                      escapedForRegex(program_invocation_short_name) + R"(\[)" + std::to_string(::getpid()) +
                      ":" + std::to_string(::gettid()) + R"(\] )" + escapedForRegex(line) + "\n");
}

}  // namespace

TEST(SystemLog, writesTheLineVerbatimNeverAsAFormat) {
    for (const std::string line : {"Could not write to: file:///tmp/100%25%20done %n %s %d %% %",
                                   R"(C:\temp\n is a backslash, not a newline)", ""}) {
        const std::string output = testsupport::capturedStandardError([&] { orvane::systemLog(line); });
        EXPECT_TRUE(std::regex_match(output, loggedLine(line))) << output;
    }
    const std::string output =
        testsupport::capturedStandardError([] { orvane::NSLog("File doesn't exist at: /tmp/50% off"); });
    EXPECT_TRUE(std::regex_match(output, loggedLine("File doesn't exist at: /tmp/50% off"))) << output;
}

TEST(SystemLog, keepsEveryCallOnOneLine) {
    const std::string output = testsupport::capturedStandardError([] { orvane::systemLog("a\nb\r\nc\n"); });
    EXPECT_TRUE(std::regex_match(output, loggedLine(R"(a\nb\r\nc\n)"))) << output;
}

TEST(SystemLog, linesFromManyThreadsNeverInterleave) {
    constexpr int threadCount = 4;
    constexpr int linesPerThread = 50;
    const std::string output = testsupport::capturedStandardError([] {
        std::vector<std::jthread> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < linesPerThread; ++i) {
                    orvane::systemLog("thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                                      std::string(300, static_cast<char>('a' + t)));
                }
            });
        }
    });
    std::istringstream lines(output);
    const std::regex whole(R"(\S+ \S+ \S+\[\d+:\d+\] thread (\d) line (\d+) ([a-z])\3{299})");
    std::set<std::string> seen;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, whole)) << line;
        seen.insert(match[1].str() + ":" + match[2].str());
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(threadCount * linesPerThread));
}
