#include "Data/JSON.hpp"

#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using orvane::JSON;
using orvane::JSONError;
using orvane::URL;

template <class Operation>
JSONError errorOf(Operation operation) {
    try {
        operation();
    } catch (const JSONError& error) {
        return error;
    }
    ADD_FAILURE() << "no JSONError";
    return JSONError::valueNotFound("(none)");
}

template <class T>
JSONError errorFor(const JSON& json, std::string_view key) {
    return errorOf([&] { json.value<T>(key); });
}

TEST(JSON, readsTheTopLevelObjectUnreadableFilesAreParseErrorsAndOtherBytesFormatErrors) {
    testsupport::TemporaryFolder folder;
    const auto write = [&](std::string_view text) {
        std::ofstream(folder.path() / "file.json", std::ios::binary) << text;
        return URL::fileURLWithPath((folder.path() / "file.json").string());
    };
    const JSON json(write(R"({"name":"vault","proxy":{"host":"h"}})"));
    EXPECT_EQ(json.value<std::string>("name"), "vault");
    EXPECT_EQ((json.value<std::map<std::string, std::string>>("proxy")).at("host"), "h");
    for (const URL& url : {URL::fileURLWithPath((folder.path() / "missing.json").string()),
                           URL::fileURLWithPath(folder.path().string()),
                           *URL::fromString("https://example.invalid/config.json")}) {
        EXPECT_EQ(errorOf([&] { JSON{url}; }), JSONError::fileParseError(url)) << url.absoluteString();
    }
    for (const std::string_view text :
         {"", "{\"a\":1", "[{\"a\":1}]", "42", "\"a\"", "null", "\x00\xff\x10", "{} []"}) {
        const URL url = write(text);
        EXPECT_EQ(errorOf([&] { JSON{url}; }), JSONError::fileFormatError(url)) << text;
    }
}

// The conversions themselves are Object's; here, what reaches the caller.
TEST(JSON, aValueOfAnotherKindNamesTheTypeAskedFor) {
    const orvane::Data text(std::string_view(R"({"s":"5","one":1,"n":null,"big":3000000000,
                                                "huge":18446744073709551615,"mixed":[1,"2"]})"));
    const JSON json(text.bytes(), URL::fileURLWithPath("/config.json"));
    EXPECT_EQ(errorFor<std::int64_t>(json, "s.x"), JSONError::valueNotFound("s.x"));  // a key, not a path
    EXPECT_EQ(errorFor<std::int64_t>(json, "s"), JSONError::invalidValueCast("s", "Int"));
    EXPECT_EQ(errorFor<bool>(json, "one"), JSONError::invalidValueCast("one", "Bool"));
    EXPECT_EQ(errorFor<std::int32_t>(json, "big"), JSONError::invalidValueCast("big", "Int32"));
    EXPECT_EQ(json.value<std::uint64_t>("huge"), UINT64_MAX);
    EXPECT_EQ(errorFor<std::int64_t>(json, "huge"), JSONError::invalidValueCast("huge", "Int"));
    EXPECT_EQ(errorFor<std::string>(json, "n"), JSONError::invalidValueCast("n", "String"));
    EXPECT_EQ(json.value<std::optional<std::string>>("n"), std::nullopt);
    EXPECT_EQ(errorFor<std::vector<std::int64_t>>(json, "mixed"),
              JSONError::invalidValueCast("mixed", "Array<Int>"));
    EXPECT_EQ(errorFor<orvane::ObjectDictionary>(json, "mixed"),
              JSONError::invalidValueCast("mixed", "Dictionary<String, Any>"));
}

}  // namespace
