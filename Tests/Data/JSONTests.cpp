#include "Data/JSON.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using orvane::JSON;
using orvane::JSONError;
using orvane::Object;
using orvane::ObjectDictionary;
using orvane::URL;

// A fresh folder under the system's temporary folder, removed afterwards.
class JSONFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "json-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    URL write(const std::string& name, std::string_view text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return URL::fileURLWithPath((folder_ / name).string());
    }

    std::filesystem::path folder_;
};

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

JSONError errorReading(const URL& url) {
    return errorOf([&] { JSON{url}; });
}

template <class T>
JSONError errorFor(const JSON& json, std::string_view key) {
    return errorOf([&] { json.value<T>(key); });
}

TEST_F(JSONFileTest, readsTheTopLevelObject) {
    const JSON json(
        write("config.json", R"({"name":"vault","port":8443,"debug":false,"proxy":{"host":"h"}})"));
    EXPECT_EQ(json.value<std::string>("name"), "vault");
    EXPECT_EQ(json.value<int>("port"), 8443);
    EXPECT_FALSE(json.value<bool>("debug"));
    EXPECT_EQ(json.value<ObjectDictionary>("proxy"), (ObjectDictionary{{"host", "h"}}));
    EXPECT_EQ((json.value<std::map<std::string, std::string>>("proxy")).at("host"), "h");
}

TEST_F(JSONFileTest, aFileThatCannotBeReadIsAParseError) {
    const URL missing = URL::fileURLWithPath((folder_ / "missing.json").string());
    const URL folder = URL::fileURLWithPath(folder_.string());
    const URL web = *URL::fromString("https://example.invalid/config.json");
    for (const URL& url : {missing, folder, web}) {
        EXPECT_EQ(errorReading(url), JSONError::fileParseError(url)) << url.absoluteString();
    }
}

TEST_F(JSONFileTest, bytesThatAreNoObjectAreAFormatError) {
    for (const std::string_view text :
         {"", "{\"a\":1", "[{\"a\":1}]", "42", "\"a\"", "null", "\x00\xff\x10", "{} []"}) {
        const URL url = write("file.json", text);
        EXPECT_EQ(errorReading(url), JSONError::fileFormatError(url)) << text;
    }
}

TEST(JSON, aDottedKeyIsOneKeyNotAPath) {
    const JSON json(ObjectDictionary{{"a", ObjectDictionary{{"b", 1}}}, {"x.y", 2}});
    EXPECT_EQ(errorFor<std::int64_t>(json, "a.b"), JSONError::valueNotFound("a.b"));
    EXPECT_EQ(errorFor<std::int64_t>(json, "A"), JSONError::valueNotFound("A"));
    EXPECT_EQ(json.value<std::int64_t>("x.y"), 2);
}

TEST(JSON, convertsOnlyValuesOfTheMatchingKind) {
    const URL url = URL::fileURLWithPath("/config.json");
    const JSON json(orvane::Data(std::string_view(R"({"s":"5","i":5,"w":3.0,"f":3.5,"t":true,"one":1,"n":null,
                                                       "big":3000000000,"huge":18446744073709551615,"a":[1,2],"mixed":[1,"2"]})"))
                        .bytes(),
                    url);
    EXPECT_EQ(errorFor<std::int64_t>(json, "s"), JSONError::invalidValueCast("s", "Int"));
    EXPECT_EQ(errorFor<std::string>(json, "i"), JSONError::invalidValueCast("i", "String"));
    // A Boolean is not a number and a number is not a Boolean.
    EXPECT_EQ(errorFor<bool>(json, "one"), JSONError::invalidValueCast("one", "Bool"));
    EXPECT_EQ(errorFor<double>(json, "t"), JSONError::invalidValueCast("t", "Double"));
    // Integer types take integral numbers in their range only.
    EXPECT_EQ(json.value<std::int64_t>("w"), 3);
    EXPECT_EQ(errorFor<std::int64_t>(json, "f"), JSONError::invalidValueCast("f", "Int"));
    EXPECT_EQ(json.value<std::int64_t>("big"), 3000000000);
    EXPECT_EQ(errorFor<std::int32_t>(json, "big"), JSONError::invalidValueCast("big", "Int32"));
    EXPECT_EQ(json.value<std::uint64_t>("huge"), UINT64_MAX);
    EXPECT_EQ(errorFor<std::int64_t>(json, "huge"), JSONError::invalidValueCast("huge", "Int"));
    EXPECT_DOUBLE_EQ(json.value<double>("i"), 5.0);
    // Null is found, but is no ordinary value.
    EXPECT_EQ(errorFor<std::string>(json, "n"), JSONError::invalidValueCast("n", "String"));
    EXPECT_EQ(json.value<std::optional<std::string>>("n"), std::nullopt);
    EXPECT_EQ(json.value<std::vector<std::int64_t>>("a"), (std::vector<std::int64_t>{1, 2}));
    EXPECT_EQ(errorFor<std::vector<std::int64_t>>(json, "mixed"),
              JSONError::invalidValueCast("mixed", "Array<Int>"));
    EXPECT_EQ(errorFor<ObjectDictionary>(json, "a"),
              JSONError::invalidValueCast("a", "Dictionary<String, Any>"));
}

TEST(JSONError, bridgesByDefaultWithoutUserInformation) {
    const URL url = URL::fileURLWithPath("/tmp/x.json");
    const JSONError errors[] = {JSONError::fileParseError(url), JSONError::fileFormatError(url),
                                JSONError::valueNotFound("k"), JSONError::invalidValueCast("k", "Int")};
    for (std::int64_t code = 0; code < 4; ++code) {
        const orvane::NSError bridged = errors[code].toNSError();
        EXPECT_EQ(bridged.domain(), "TarvelOrvane.JSONError");
        EXPECT_EQ(bridged.code(), code);
        EXPECT_TRUE(bridged.userInfo().empty());
    }
    EXPECT_STREQ(errors[3].what(), R"(invalidValueCast(forKey: "k", type: "Int"))");
}

}  // namespace
