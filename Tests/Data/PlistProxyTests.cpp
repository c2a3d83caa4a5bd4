#include "Data/PlistProxy.hpp"

#include "Data/PropertyListFile.hpp"
#include "Platform/Archive/BinaryPropertyList.hpp"
#include "Support/StandardErrorCapture.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <plist/plist.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
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

// A generation of the state the writer keeps rewriting. Its parts all derive
// from the generation number, so a torn or mixed file shows.
ObjectDictionary generation(std::int64_t number) {
    ObjectDictionary state{{"generation", number},
                           {"payload", std::string(20'000, static_cast<char>('a' + number % 26))}};
    for (int key = 0; key < 200; ++key) {
        state.emplace("key" + std::to_string(key), number * 1000 + key);
    }
    return state;
}

std::optional<std::int64_t> wholeGeneration(const ObjectDictionary& file) {
    const auto found = file.find("state");
    if (file.size() != 1 || found == file.end()) {
        return std::nullopt;
    }
    const auto state = found->second.as<ObjectDictionary>();
    const auto number = state ? state->at("generation").as<std::int64_t>() : std::nullopt;
    if (!number || *state != generation(*number)) {
        return std::nullopt;
    }
    return number;
}

// How long a freshly forked writer takes to finish one write, fork included.
std::chrono::microseconds forkedWriteTime(orvane::PlistProxy& proxy) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t writer = ::fork();
    if (writer == 0) {
        proxy.write(generation(0), "state");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

TEST_F(PlistProxyTest, aWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    ASSERT_TRUE(preferences.write(generation(0), "state"));
    // Kill within two writes' time (fork included), so kills land all over the cycle.
    std::mt19937 random(20240501);
    const auto cycle =
        std::min({forkedWriteTime(preferences), forkedWriteTime(preferences), forkedWriteTime(preferences)});
    std::uniform_int_distribution<std::int64_t> delay(0, 2 * cycle.count());

    std::int64_t last = 0;
    int roundsWithProgress = 0;
    for (int round = 0; round < 200; ++round) {
        const pid_t writer = ::fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (std::int64_t next = last + 1;; ++next) {
                preferences.write(generation(next), "state");
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(writer, SIGKILL);
        int status = 0;
        ::waitpid(writer, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;

        const auto found = wholeGeneration(preferences.dictionary());
        ASSERT_TRUE(found) << "round " << round << ": the file is torn or mixed";
        ASSERT_GE(*found, last) << "round " << round;
        roundsWithProgress += *found > last ? 1 : 0;
        last = *found;
    }
    // The writer got through whole writes in some rounds and was cut short in
    // others; both must have happened for the test to mean anything.
    EXPECT_GT(roundsWithProgress, 0);
    EXPECT_LT(roundsWithProgress, 200);
}

}  // namespace
