#include "Data/PlistProxy.hpp"

#include "Data/PropertyListFile.hpp"
#include "Data/PropertyListSerialization.hpp"
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
using orvane::ObjectDictionary;
using orvane::URL;
using Lines = std::vector<std::string>;

class Preferences : public orvane::PlistProxy {
public:
    explicit Preferences(const fs::path& path) : url(URL::fileURLWithPath(path.string())) {}
    URL plistURL() const override { return url; }
    const URL url;
};

class PlistProxyTest : public ::testing::Test {
protected:
    void writeFile(const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }

    testsupport::TemporaryFolder folder;
    fs::path path = folder.path() / "settings.plist";
    Preferences preferences{path};
};

TEST_F(PlistProxyTest, writeChangesOneKeyKeepingTheOthersAndTypedReadsSeeTheFileAsItIsNow) {
    EXPECT_EQ(preferences.dictionary(), ObjectDictionary{});
    EXPECT_TRUE(preferences.write("dark", "theme"));
    EXPECT_TRUE(preferences.write(orvane::ObjectArray{1, 2}, "list"));
    EXPECT_TRUE(preferences.write("light", "theme"));
    EXPECT_EQ(orvane::PropertyListFile::dictionary(preferences.url),
              (ObjectDictionary{{"theme", "light"}, {"list", orvane::ObjectArray{1, 2}}}));
    // Another writer replaces the file, in binary form this time.
    orvane::PropertyListNode tree(plist_new_dict());
    plist_dict_set_item(tree.get(), "theme", plist_new_string("second"));
    writeFile(orvane::BinaryPropertyList::serialize(tree.get())->toString());
    EXPECT_EQ(preferences.readString("theme"), "second");

    // Typed reads convert only values of their type.
    const Date when = Date::fromTimeIntervalSince1970(1e9);
    ASSERT_TRUE(orvane::PropertyListFile::write(
        {{"count", 42}, {"name", "vault"}, {"flag", true}, {"when", when}}, preferences.url));
    EXPECT_EQ(preferences.readInt("count"), 42);
    EXPECT_EQ(preferences.readString("name"), "vault");
    EXPECT_EQ(preferences.readBool("flag"), true);
    EXPECT_EQ(preferences.readDate("when"), when);
    EXPECT_EQ(preferences.readInt("flag"), std::nullopt);
    EXPECT_EQ(preferences.readDate("missing"), std::nullopt);
}

TEST_F(PlistProxyTest, anUnreadableFileReadsAsEmptyAndIsReplacedByAWrite) {
    for (const std::string contents :
         {"not a property list", "<plist><array><string>a list, not a dictionary</string></array></plist>",
          "<plist><dict><key>a</key><integer>1x</integer></dict></plist>"}) {
        writeFile(contents);
        EXPECT_EQ(preferences.dictionary(), ObjectDictionary{});
        EXPECT_EQ(preferences.readInt("a"), std::nullopt);
        EXPECT_TRUE(preferences.write(1, "only"));
        EXPECT_EQ(preferences.dictionary(), (ObjectDictionary{{"only", 1}}));
    }
}

TEST_F(PlistProxyTest, aFailedWriteLogsTheURLVerbatimAndLeavesTheFile) {
    std::ofstream(folder.path() / "100% done") << "a file where a folder should be";
    Preferences unwritable(folder.path() / "100% done" / "a b.plist");
    EXPECT_EQ(testsupport::messagesLoggedBy([&] { EXPECT_FALSE(unwritable.write("v", "k")); }),
              Lines{"Could not write to: " + unwritable.url.absoluteString()});
    // A date before the year 1 has no XML form: one such value refuses the whole write.
    ASSERT_TRUE(preferences.write("kept", "k"));
    const Date tooEarly = orvane::PropertyListSerialization::earliestWritableDate().addingTimeInterval(-1);
    EXPECT_EQ(testsupport::messagesLoggedBy([&] { EXPECT_FALSE(preferences.write(tooEarly, "date")); }),
              Lines{"Could not write to: " + preferences.url.absoluteString()});
    EXPECT_EQ(preferences.dictionary(), (ObjectDictionary{{"k", "kept"}}));
}

}  // namespace
