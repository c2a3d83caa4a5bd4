#include "Concurrency/MulticastDelegate.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using orvane::MulticastDelegate;

namespace {

struct Listener {
    virtual ~Listener() = default;
    virtual std::string name() const = 0;
};

struct NamedListener : Listener {
    explicit NamedListener(std::string name) : name_(std::move(name)) {}
    std::string name() const override { return name_; }
    std::string name_;
};

struct Unrelated {
    virtual ~Unrelated() = default;
};

// A listener reached through a second base first, so that its Listener part
// sits at a different address from the object.
struct Window : Unrelated, NamedListener {
    Window() : NamedListener("window") {}
};

std::vector<std::string> invokeAll(MulticastDelegate<Listener>& delegates) {
    std::vector<std::string> names;
    delegates.invoke([&](Listener& listener) { names.push_back(listener.name()); });
    return names;
}

// Three listeners and an empty list of delegates.
struct MulticastDelegateTest : ::testing::Test {
    MulticastDelegate<Listener> delegates;
    std::shared_ptr<NamedListener> a = std::make_shared<NamedListener>("A");
    std::shared_ptr<NamedListener> b = std::make_shared<NamedListener>("B");
    std::shared_ptr<NamedListener> c = std::make_shared<NamedListener>("C");
};

}  // namespace

TEST_F(MulticastDelegateTest, invokesLastAddedFirstOncePerEntryRemovesByObjectAndHoldsNoneAlive) {
    EXPECT_TRUE(invokeAll(delegates).empty());
    delegates += a;
    delegates.add(b);
    delegates += c;
    delegates += a;
    EXPECT_EQ(invokeAll(delegates), (std::vector<std::string>{"A", "C", "B", "A"}));
    delegates -= std::make_shared<NamedListener>("A");  // equal name, other object
    EXPECT_EQ(delegates.count(), 4u);
    delegates -= a;  // every entry of that object, nothing else
    EXPECT_EQ(invokeAll(delegates), (std::vector<std::string>{"C", "B"}));

    c.reset();  // no delegate is kept alive, but stays listed until an invoke meets it
    EXPECT_EQ(delegates.count(), 2u);
    EXPECT_EQ(invokeAll(delegates), (std::vector<std::string>{"B"}));
    EXPECT_EQ(delegates.count(), 1u);
}

TEST(MulticastDelegate, listLiteralTakesAnyObjectButInvokesOnlyListeners) {
    auto window = std::make_shared<Window>();
    auto stranger = std::make_shared<Unrelated>();
    auto text = std::make_shared<std::string>("not an object with an interface");
    std::shared_ptr<Unrelated> windowAsUnrelated = window;
    MulticastDelegate<Listener> delegates = {windowAsUnrelated, stranger, text};
    EXPECT_EQ(delegates.count(), 3u);
    EXPECT_EQ(invokeAll(delegates), (std::vector<std::string>{"window"}));
    EXPECT_EQ(delegates.count(), 1u);  // the two non-listeners went at the first invoke

    // Identity is the whole object, whichever base it came in through.
    delegates -= std::shared_ptr<Listener>(window);
    EXPECT_EQ(delegates.count(), 0u);
}

TEST_F(MulticastDelegateTest, aPassCallsTheListAsItBeganAndAPurgeDuringAPassRemovesExactlyTheDeadEntry) {
    delegates += a;
    delegates += b;
    std::vector<std::string> names;
    delegates.invoke([&](Listener& listener) {
        names.push_back(listener.name());
        if (listener.name() == "B") {
            delegates -= a;  // already in this pass's copy: still called
            delegates += c;
        }
    });
    EXPECT_EQ(names, (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(invokeAll(delegates), (std::vector<std::string>{"C", "B"}));

    delegates += a;  // [B, C, A]
    delegates.invoke([&](Listener& listener) {
        if (listener.name() == "A") {
            delegates -= a;  // shifts the entries below it
            c.reset();       // dies before the pass reaches it
        }
    });
    EXPECT_EQ(invokeAll(delegates), (std::vector<std::string>{"B"}));
    EXPECT_EQ(delegates.count(), 1u);
}
