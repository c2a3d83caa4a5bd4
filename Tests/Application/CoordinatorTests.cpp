#include "Application/Coordinator.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

using orvane::Coordinator;

namespace {

// Stores its children and counts the accessor calls.
class CountingCoordinator : public Coordinator {
public:
    Children childCoordinators() const override {
        ++reads;
        return children;
    }
    void setChildCoordinators(Children childCoordinators) override {
        ++writes;
        children = std::move(childCoordinators);
    }
    Children children;
    mutable int reads = 0;
    int writes = 0;
};

// Appends to its stored list in place.
class InPlaceCoordinator : public CountingCoordinator {
public:
    void modifyChildCoordinators(const std::function<void(Children&)>& modify) override { modify(children); }
};

class LoginCoordinator : public CountingCoordinator {};
class TwoFactorLoginCoordinator : public LoginCoordinator {};
class SettingsCoordinator : public CountingCoordinator {};

}  // namespace

TEST(Coordinator, addAppendsThroughTheListsModificationWithoutChecks) {
    CountingCoordinator parent;
    auto child = std::make_shared<LoginCoordinator>();
    auto other = std::make_shared<SettingsCoordinator>();
    parent.add(child);
    parent.add(other);
    parent.add(child);
    EXPECT_EQ(parent.children, (Coordinator::Children{child, other, child}));
    EXPECT_EQ(parent.reads, 3);
    EXPECT_EQ(parent.writes, 3);

    InPlaceCoordinator inPlace;
    inPlace.add(child);
    EXPECT_EQ(inPlace.children, (Coordinator::Children{child}));
    EXPECT_EQ(inPlace.writes, 0);
}

TEST(Coordinator, removeDropsEveryOccurrenceByIdentityAndAssignsOnce) {
    CountingCoordinator parent;
    auto child = std::make_shared<LoginCoordinator>();
    auto twin = std::make_shared<LoginCoordinator>();
    parent.children = {child, twin, child};
    parent.remove(child);
    EXPECT_EQ(parent.children, (Coordinator::Children{twin}));
    EXPECT_EQ(parent.writes, 1);
    parent.remove(child);  // no longer a child: the same list, assigned all the same
    EXPECT_EQ(parent.children, (Coordinator::Children{twin}));
    EXPECT_EQ(parent.writes, 2);
}

TEST(Coordinator, hasChildCoordinatorMatchesTheExactClassOfDirectChildrenOnly) {
    CountingCoordinator parent;
    auto settings = std::make_shared<SettingsCoordinator>();
    settings->add(std::make_shared<LoginCoordinator>());
    parent.children = {nullptr, std::make_shared<TwoFactorLoginCoordinator>(), settings};
    EXPECT_FALSE(parent.hasChildCoordinator<LoginCoordinator>());     // not a subclass, nor a grandchild
    EXPECT_FALSE(parent.hasChildCoordinator<CountingCoordinator>());  // nor a base class
    EXPECT_TRUE(parent.hasChildCoordinator<TwoFactorLoginCoordinator>());
    parent.add(std::make_shared<LoginCoordinator>());
    EXPECT_TRUE(parent.hasChildCoordinator<LoginCoordinator>());
}
