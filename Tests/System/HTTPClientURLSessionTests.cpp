// How the client classifies a task's end, and how URLs are cut down before
// they appear in an error.
#include "Platform/Network/URLError.hpp"
#include "System/HTTPClientURLSessionInternal.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace orvane;

std::string debugDescription(const orvane::NSError& error) {
    return error.userInfo().at(std::string(orvane::NSDebugDescriptionErrorKey)).as<std::string>().value_or("");
}

TEST(HTTPClientURLSession, classifiesInOrderErrorThenStatusThenResponseKind) {
    const auto ok = std::make_shared<HTTPURLResponse>("http://h/", 200, "", 0);
    const auto timedOut = orvane::makeURLError(orvane::URLErrorCode::timedOut, "http://h/", "");
    const struct {
        std::optional<orvane::NSError> error;
        std::shared_ptr<URLResponse> response;
        std::string expected;  // "" for success
    } cases[] = {
        {timedOut, ok, "Received error: " + timedOut.description()},
        {std::nullopt, std::make_shared<HTTPURLResponse>("http://h/", 399, "", 0), ""},
        {std::nullopt, std::make_shared<HTTPURLResponse>("http://h/", 400, "", 0), "Received http error code: 400"},
        {std::nullopt, nullptr, "Received unexpected response: nil"},
        {std::nullopt, std::make_shared<URLResponse>("ftp://u:p@h/f?q", "", -1),
         "Received unexpected response: Optional(<TarvelOrvane.URLResponse> { URL: ftp://h/f })"},
    };
    for (const auto& test : cases) {
        const auto result = classifyHTTPClientCompletion(Data("body"), test.response, test.error);
        if (test.expected.empty()) {
            ASSERT_TRUE(result.isSuccess()) << test.response->description();
            EXPECT_EQ(result.valueIf()->value(), Data("body"));
        } else {
            ASSERT_TRUE(result.isFailure()) << test.expected;
            EXPECT_EQ(debugDescription(*result.errorIf()), test.expected);
        }
    }
    // An absent body stays absent.
    EXPECT_EQ(classifyHTTPClientCompletion(std::nullopt, ok, std::nullopt).valueIf()->has_value(), false);
}

TEST(HTTPClientURLSession, urlsLoseCredentialsQueriesAndFragments) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"https://user:pw@host:8443/a/b?token=1#top", "https://host:8443/a/b"},
        {"http://a@b@host/p", "http://host/p"},
        {"http://host?q=1", "http://host"},
        {"http://[::1]:80/x#f", "http://[::1]:80/x"},
        {"not a url?secret", "not a url"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(orvane::redactedURLString(input), expected) << input;
    }
    EXPECT_EQ(orvane::redactingURLsIn("Proxy 'http://u:p@proxy:3128/?k=v' refused; see https://x/y?z"),
              "Proxy 'http://proxy:3128/' refused; see https://x/y");
}

}  // namespace
