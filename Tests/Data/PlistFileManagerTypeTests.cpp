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
using orvane::ObjectDictionary;

// Holds one dictionary for its whole life, as the interface asks.
class Settings : public orvane::PlistFileManagerType {
public:
    explicit Settings(const fs::path& path) : url(orvane::URL::fileURLWithPath(path.string())) {}
    orvane::URL fileURL() const override { return url; }
    ObjectDictionary& plistDictionary() override { return contents; }
    const orvane::URL url;
    ObjectDictionary contents;
};

// An absent value removes the key, in memory and on disk. A failed write keeps
// the change in memory and logs nothing.
TEST(PlistFileManagerType, writeSetsOrRemovesTheKeyAndWritesTheWholeDictionaryOrKeepsItInMemory) {
    testsupport::TemporaryFolder folder;
    Settings settings(folder.path() / "settings.plist");
    const auto onDisk = [&] { return orvane::PropertyListFile::dictionary(settings.url); };
    settings.plistDictionary().emplace("existing", "kept");
    EXPECT_TRUE(settings.write(3, "count"));
    EXPECT_TRUE(settings.write(std::vector<std::string>{"a", "b"}, "names"));
    EXPECT_EQ(onDisk(), (ObjectDictionary{
                            {"existing", "kept"}, {"count", 3}, {"names", orvane::ObjectArray{"a", "b"}}}));

    EXPECT_EQ(settings.readValue<std::vector<std::string>>("names"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(settings.readValue<std::string>("count"), std::nullopt);
    // Reads come from memory, not from the file.
    ASSERT_TRUE(orvane::PropertyListFile::write({{"count", 4}}, settings.fileURL()));
    EXPECT_EQ(settings.readValue<int>("count"), 3);

    EXPECT_TRUE(settings.write(std::optional<std::string>(), "names"));
    EXPECT_EQ(settings.readValue("names"), std::nullopt);
    EXPECT_EQ(onDisk(), (ObjectDictionary{{"existing", "kept"}, {"count", 3}}));
    EXPECT_TRUE(settings.write(std::nullopt, "never there"));

    std::ofstream(folder.path() / "blocker") << "a file, not a folder";
    Settings blocked(folder.path() / "blocker" / "settings.plist");
    EXPECT_EQ(testsupport::messagesLoggedBy([&] { EXPECT_FALSE(blocked.write("v", "k")); }),
              std::vector<std::string>{});
    EXPECT_EQ(blocked.readValue<std::string>("k"), "v");

    // So does a value with no property-list form.
    EXPECT_FALSE(settings.write(orvane::Object(), "null"));
    EXPECT_EQ(settings.readValue("null"), orvane::Object());
    EXPECT_EQ(onDisk(), (ObjectDictionary{{"existing", "kept"}, {"count", 3}}));
}

}  // namespace
