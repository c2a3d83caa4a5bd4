#include "Data/PlistFileManagerType.hpp"

#include "Data/PropertyListFile.hpp"
#include "Support/StandardErrorCapture.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using orvane::Object;
using orvane::ObjectArray;
using orvane::ObjectDictionary;

// Holds one dictionary for its whole life, as the interface asks.
class Settings : public orvane::PlistFileManagerType {
public:
    explicit Settings(const fs::path& path) : url_(orvane::URL::fileURLWithPath(path.string())) {}
    orvane::URL fileURL() const override { return url_; }
    ObjectDictionary& plistDictionary() override { return contents_; }

private:
    orvane::URL url_;
    ObjectDictionary contents_;
};

class PlistFileManagerTypeTest : public ::testing::Test {
protected:
    std::optional<ObjectDictionary> onDisk() const {
        return orvane::PropertyListFile::dictionary(settings.fileURL());
    }

    testsupport::TemporaryFolder folder;
    Settings settings{folder.path() / "settings.plist"};
};

TEST_F(PlistFileManagerTypeTest, writeSetsTheKeyAndWritesTheWholeDictionary) {
    settings.plistDictionary().emplace("existing", "kept");
    EXPECT_TRUE(settings.write(3, "count"));
    EXPECT_TRUE(settings.write(std::vector<std::string>{"a", "b"}, "names"));
    const ObjectDictionary expected{{"existing", "kept"}, {"count", 3}, {"names", ObjectArray{"a", "b"}}};
    EXPECT_EQ(onDisk(), expected);

    EXPECT_EQ(settings.readValue<std::vector<std::string>>("names"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(settings.readValue<std::string>("count"), std::nullopt);
    // Reads come from memory, not from the file.
    ASSERT_TRUE(orvane::PropertyListFile::write({{"count", 4}}, settings.fileURL()));
    EXPECT_EQ(settings.readValue<int>("count"), 3);
}

TEST_F(PlistFileManagerTypeTest, anAbsentValueRemovesTheKeyInMemoryAndOnDisk) {
    ASSERT_TRUE(settings.write("secret", "token"));
    ASSERT_TRUE(settings.write(1, "other"));
    EXPECT_TRUE(settings.write(std::optional<std::string>(), "token"));
    EXPECT_EQ(settings.readValue("token"), std::nullopt);
    EXPECT_EQ(onDisk(), (ObjectDictionary{{"other", 1}}));
    EXPECT_TRUE(settings.write(std::nullopt, "never there"));
}

TEST_F(PlistFileManagerTypeTest, aFailedWriteKeepsTheChangeInMemoryAndLogsNothing) {
    std::ofstream(folder.path() / "blocker") << "a file, not a folder";
    Settings blocked(folder.path() / "blocker" / "settings.plist");
    EXPECT_EQ(testsupport::messagesLoggedBy([&] { EXPECT_FALSE(blocked.write("v", "k")); }),
              std::vector<std::string>{});
    EXPECT_EQ(blocked.readValue<std::string>("k"), "v");

    // So does a value with no property-list form.
    EXPECT_FALSE(settings.write(Object(), "null"));
    EXPECT_EQ(settings.readValue("null"), Object());
    EXPECT_FALSE(fs::exists(settings.absolutePath()));
}

}  // namespace
