#include "Data/PlistProxy.hpp"

#include "Data/PropertyListFile.hpp"
#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Support/StandardErrorCapture.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using orvane::Date;
using orvane::Object;
using orvane::ObjectArray;
using orvane::ObjectDictionary;
using orvane::URL;
using testsupport::messagesLoggedBy;
using Lines = std::vector<std::string>;

class Preferences : public orvane::PlistProxy {
public:
    explicit Preferences(URL url) : url_(std::move(url)) {}
    explicit Preferences(const fs::path& path) : url_(URL::fileURLWithPath(path.string())) {}
    URL plistURL() const override { return url_; }

private:
    URL url_;
};

void writeFile(const fs::path& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

class PlistProxyTest : public ::testing::Test {
protected:
    testsupport::TemporaryFolder folder;
    fs::path path = folder.path() / "settings.plist";
    Preferences preferences{path};
};

TEST_F(PlistProxyTest, typedReadsConvertOnlyValuesOfTheirType) {
    const Date when = Date::fromTimeIntervalSince1970(1e9);
    ASSERT_TRUE(orvane::PropertyListFile::write(
        {{"count", 42}, {"name", "vault"}, {"flag", true}, {"when", when}}, preferences.plistURL()));
    EXPECT_EQ(preferences.readString("count"), std::nullopt);
    EXPECT_EQ(preferences.readInt("count"), 42);
    EXPECT_EQ(preferences.readString("name"), "vault");
    EXPECT_EQ(preferences.readBool("flag"), true);
    EXPECT_EQ(preferences.readInt("flag"), std::nullopt);
    EXPECT_EQ(preferences.readBool("count"), std::nullopt);
    EXPECT_EQ(preferences.readDate("when"), when);
    EXPECT_EQ(preferences.readDate("missing"), std::nullopt);
}

TEST_F(PlistProxyTest, writeCreatesTheFileOrChangesOneKeyKeepingTheOthers) {
    EXPECT_EQ(preferences.dictionary(), ObjectDictionary{});
    EXPECT_TRUE(preferences.write("dark", "theme"));
    EXPECT_EQ(orvane::PropertyListFile::dictionary(preferences.plistURL()),
              (ObjectDictionary{{"theme", "dark"}}));

    EXPECT_TRUE(preferences.write(ObjectArray{1, 2}, "list"));
    EXPECT_TRUE(preferences.write("light", "theme"));
    EXPECT_EQ(preferences.dictionary(), (ObjectDictionary{{"theme", "light"}, {"list", ObjectArray{1, 2}}}));
}

TEST_F(PlistProxyTest, everyReadSeesTheFileAsItIsNow) {
    ASSERT_TRUE(preferences.write("first", "k"));
    EXPECT_EQ(preferences.readString("k"), "first");
    // Another writer replaces the file, in binary form this time.
    orvane::PropertyListNode tree(plist_new_dict());
    plist_dict_set_item(tree.get(), "k", plist_new_string("second"));
    writeFile(path, orvane::BinaryPropertyList::serialize(tree.get())->toString());
    EXPECT_EQ(preferences.readString("k"), "second");
}

TEST_F(PlistProxyTest, anUnreadableFileReadsAsEmptyAndIsReplacedByAWrite) {
    std::string deep = "<plist>";
    for (int level = 0; level < 100'000; ++level) {
        deep += "<array>";
    }
    const std::string unreadable[] = {
        "not a property list",
        "<plist><array><string>a list, not a dictionary</string></array></plist>",
        deep,
        std::string("bplist00\xD1\x01\x01", 11),
    };
    for (const std::string& contents : unreadable) {
        writeFile(path, contents);
        EXPECT_EQ(preferences.dictionary(), ObjectDictionary{});
        EXPECT_EQ(preferences.readString("a"), std::nullopt);
        EXPECT_TRUE(preferences.write(1, "only"));
        EXPECT_EQ(preferences.dictionary(), (ObjectDictionary{{"only", 1}}));
    }
}

TEST_F(PlistProxyTest, aFailedWriteLogsTheURLVerbatimAndLeavesTheFile) {
    writeFile(folder.path() / "100% done", "a file where a folder should be");
    const URL url = URL::fileURLWithPath((folder.path() / "100% done" / "a b.plist").string());
    ASSERT_NE(url.absoluteString().find("100%25%20done/a%20b.plist"), std::string::npos);
    Preferences unwritable(url);
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_FALSE(unwritable.write("v", "k")); }),
              Lines{"Could not write to: " + url.absoluteString()});

    // A value with no property-list form fails the same way.
    ASSERT_TRUE(preferences.write("kept", "k"));
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_FALSE(preferences.write(Object(), "null")); }),
              Lines{"Could not write to: " + preferences.plistURL().absoluteString()});
    EXPECT_EQ(preferences.dictionary(), (ObjectDictionary{{"k", "kept"}}));
}

}  // namespace
