#include "Core/Empty.hpp"

#include "Platform/Archive/NSKeyedArchiver.hpp"
#include "Platform/Archive/NSKeyedUnarchiver.hpp"
#include "Platform/Foundation/Object.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::Empty;
using orvane::Object;

// Archives as an Empty (same class name) but with any sentinel entry, or none.
class ForgedEmpty : public orvane::NSObject, public orvane::NSCoding {
public:
    explicit ForgedEmpty(std::optional<Object> sentinel) : sentinel_(std::move(sentinel)) {}
    std::string className() const override { return "TarvelOrvane.Empty"; }
    void encode(orvane::NSCoder& coder) const override {
        if (sentinel_) {
            coder.encodeObject(*sentinel_, "sentinel");
        }
    }

private:
    std::optional<Object> sentinel_;
};

std::shared_ptr<Empty> unarchiveForged(std::optional<Object> sentinel) {
    const auto archive =
        orvane::NSKeyedArchiver::archivedData(Object(std::make_shared<ForgedEmpty>(sentinel)));
    EXPECT_TRUE(archive.has_value());
    return archive ? orvane::NSKeyedUnarchiver::unarchivedObject<Empty>(*archive) : nullptr;
}

TEST(Empty, archivesTheNumberObjectOneAndReadsItBack) {
    const auto archive = orvane::NSKeyedArchiver::archivedData(Object(std::make_shared<Empty>()));
    ASSERT_TRUE(archive.has_value());
    EXPECT_NE(orvane::NSKeyedUnarchiver::unarchivedObject<Empty>(*archive), nullptr);

    // The entry is the number object 1, not a Boolean.
    std::optional<Object> archived;
    const orvane::CodingClass probe{"TarvelOrvane.Empty", [&archived](orvane::NSCoder& coder) {
                                        archived = coder.decodeObject("sentinel");
                                        return std::make_shared<orvane::NSObject>();
                                    }};
    ASSERT_TRUE(orvane::NSKeyedUnarchiver::unarchiveObject(*archive, std::span(&probe, 1)).has_value());
    ASSERT_TRUE(archived.has_value());
    EXPECT_EQ(archived->kind(), Object::Kind::integer);
    EXPECT_EQ(*archived, Object(1));
}

TEST(Empty, decodesOnlyANumberEqualToOne) {
    const struct {
        std::optional<Object> sentinel;
        bool accepted;
    } cases[] = {
        {Object(1), true},    {Object(1.0), true}, {Object(true), true},   {std::nullopt, false},
        {Object(0), false},   {Object(2), false},  {Object(false), false}, {Object(1.5), false},
        {Object("1"), false}, {Object(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unarchiveForged(c.sentinel) != nullptr, c.accepted)
            << (c.sentinel ? c.sentinel->description() : "no entry");
    }
}

}  // namespace
