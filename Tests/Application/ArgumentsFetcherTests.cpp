#include "Application/ArgumentsFetcher.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using orvane::ArgumentsFetcher;

namespace {

// A list that counts how often it is read; tests may change it.
class FixedArguments : public orvane::ArgumentsProviderType {
public:
    explicit FixedArguments(std::vector<std::string> arguments) : list(std::move(arguments)) {}
    std::vector<std::string> arguments() const override {
        ++reads;
        return list;
    }
    std::vector<std::string> list;
    mutable int reads = 0;
};

ArgumentsFetcher over(std::vector<std::string> arguments) {
    return ArgumentsFetcher(std::make_shared<FixedArguments>(std::move(arguments)));
}

}  // namespace

TEST(ArgumentsFetcher, answersOverATypicalCommandLine) {
    const auto fetcher = over({"/usr/bin/vault", "-v", "--mode", "Fast", "--out", "--quiet"});
    EXPECT_TRUE(fetcher.contains("-v"));
    EXPECT_TRUE(fetcher.contains("/usr/bin/vault"));
    EXPECT_FALSE(fetcher.contains("-V"));
    EXPECT_FALSE(fetcher.contains("v"));

    EXPECT_EQ(fetcher.retrieveValue("--MODE"), "Fast");
    EXPECT_EQ(fetcher.retrieveValue("--out"), std::nullopt);    // followed by "--quiet"
    EXPECT_EQ(fetcher.retrieveValue("--quiet"), std::nullopt);  // the last element
    EXPECT_EQ(fetcher.retrieveValue("/USR/BIN/VAULT"), "-v");

    EXPECT_TRUE(fetcher.contains("--mode", "fast"));
    EXPECT_FALSE(fetcher.contains("--mode", "fas"));
}

TEST(ArgumentsFetcher, takesSingleDashValuesAndOnlyTheFirstOccurrence) {
    EXPECT_EQ(over({"vault", "--level", "-1"}).retrieveValue("--level"), "-1");
    EXPECT_EQ(over({"vault", "--name", "--x", "--name", "y"}).retrieveValue("--name"), std::nullopt);
    EXPECT_EQ(over({"vault", "--name", "", "x"}).retrieveValue("--name"), "");
}

TEST(ArgumentsFetcher, answersNothingWithoutUserArguments) {
    for (const auto& list : {std::vector<std::string>{"vault"}, std::vector<std::string>{}}) {
        const auto fetcher = over(list);
        EXPECT_FALSE(fetcher.contains("vault"));
        EXPECT_EQ(fetcher.retrieveValue("vault"), std::nullopt);
        EXPECT_FALSE(fetcher.contains("vault", ""));
    }
    EXPECT_THROW(ArgumentsFetcher(nullptr), std::invalid_argument);
}

TEST(ArgumentsFetcher, foldsEveryUnicodeLetterTheSameInAnyLocale) {
    const auto fetcher = over({"vault", "--ÉMOJI", "Ü", "--name", "Straße", "--\xff", "raw"});
    EXPECT_EQ(fetcher.retrieveValue("--émoji"), "Ü");
    EXPECT_TRUE(fetcher.contains("--NAME", "STRAßE"));
    EXPECT_FALSE(fetcher.contains("--name", "STRASSE")) << "a mapping, not a folding";
    EXPECT_EQ(fetcher.retrieveValue("--\xff"), "raw") << "text that is not UTF-8 still matches itself";
}

TEST(ArgumentsFetcher, readsTheProviderOncePerQueryAndSeesItsChanges) {
    auto provider = std::make_shared<FixedArguments>(std::vector<std::string>{"vault", "--mode", "Fast"});
    const ArgumentsFetcher fetcher(provider);
    EXPECT_TRUE(fetcher.contains("--mode", "fast"));
    EXPECT_FALSE(fetcher.contains("--quiet"));
    EXPECT_EQ(provider->reads, 2);

    provider->list = {"vault", "--quiet", "--mode", "Slow"};
    EXPECT_TRUE(fetcher.contains("--quiet"));
    EXPECT_EQ(fetcher.retrieveValue("--mode"), "Slow");
}
