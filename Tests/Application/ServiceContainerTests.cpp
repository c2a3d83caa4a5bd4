#include "Application/ServiceContainer.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

using orvane::ServiceContainer;
using orvane::ServiceContainerType;

namespace first {
struct Widget {
    virtual ~Widget() = default;
};
}  // namespace first
namespace second {
struct Widget {
    virtual ~Widget() = default;
};
}  // namespace second
namespace third {
struct Widget : first::Widget {};
}  // namespace third

// Displayed with the longer optional marker, to pin the order of removals.
template <class T>
struct ImplicitlyUnwrappedOptional {};

namespace {

struct Logger {
    virtual ~Logger() = default;
};
struct Closeable {
    virtual ~Closeable() = default;
};
struct FileLogger : Logger, Closeable {};
struct RotatingLogger : FileLogger {};

struct Settings {
    std::string theme;
};

template <class T>
struct Box {};

// Shows the key a type is registered under.
struct Keys : ServiceContainer {
    using ServiceContainerType::keyOf;
};

}  // namespace

TEST(ServiceContainerKeys, areStaticTypeNamesWithOptionalMarkersAndClosingBracketsRemoved) {
    EXPECT_EQ(Keys::keyOf<std::optional<Settings>>(), "Settings");
    EXPECT_EQ(Keys::keyOf<ImplicitlyUnwrappedOptional<Settings>>(), "Settings");
    EXPECT_EQ(Keys::keyOf<std::shared_ptr<Logger>>(), "Logger");
    EXPECT_EQ(Keys::keyOf<std::optional<second::Widget>>(), "Widget");
    EXPECT_EQ(Keys::keyOf<std::optional<Box<Box<int>>>>(), "Box<Box<int");
    EXPECT_EQ(Keys::keyOf<Box<std::string>>(), "Box<string");
}

TEST(ServiceContainerKeys, areSharedByOptionalAndPlainTypesAndBySameNamedTypes) {
    ServiceContainer services;
    services.add(std::optional<Settings>(Settings{"dark"}));
    EXPECT_EQ(services.get<Settings>()->theme, "dark");
    services.remove(Settings{"any other value"});
    EXPECT_FALSE(services.get<Settings>().has_value());
    services.add(Settings{"light"});
    EXPECT_EQ(services.get<std::optional<Settings>>().value()->theme, "light");

    // An empty optional occupies the key too.
    services.remove(Settings{});
    services.add(std::optional<Settings>());
    services.add(Settings{"late"});
    EXPECT_FALSE(services.get<Settings>().has_value());

    // first::Widget and second::Widget are both "Widget": the second add is
    // dropped, a request for it finds a value it cannot convert, and the
    // entry stays.
    services.add(first::Widget());
    services.add(second::Widget());
    EXPECT_FALSE(services.get<second::Widget>().has_value());
    EXPECT_TRUE(services.get<first::Widget>().has_value());
    services.remove(second::Widget());
    EXPECT_FALSE(services.get<first::Widget>().has_value());
}

TEST(ServiceContainerGet, convertsObjectsThroughTheirClassesButNotValuesToObjects) {
    ServiceContainer services;
    auto logger = std::make_shared<RotatingLogger>();
    services.add<std::shared_ptr<Logger>>(logger);
    services.add<std::shared_ptr<Closeable>>(logger);
    services.add<std::shared_ptr<const FileLogger>>(logger);
    services.add(std::make_shared<Settings>());

    EXPECT_EQ(services.get<std::shared_ptr<Logger>>()->get(), logger.get());
    EXPECT_EQ(services.get<std::shared_ptr<const Logger>>()->get(), logger.get());
    EXPECT_FALSE(services.get<std::shared_ptr<FileLogger>>().has_value());  // const stays const
    EXPECT_FALSE(services.get<Settings>().has_value());                     // an object is not a value
    EXPECT_TRUE(services.get<std::shared_ptr<Settings>>().has_value());

    // Same-named classes share the key "Widget": an unrelated one gets
    // nothing and leaves the entry, the object's own class gets it.
    ServiceContainer widgets;
    auto widget = std::make_shared<third::Widget>();
    widgets.add<std::shared_ptr<first::Widget>>(widget);
    EXPECT_FALSE(widgets.get<std::shared_ptr<second::Widget>>().has_value());
    EXPECT_EQ(widgets.get<std::shared_ptr<third::Widget>>()->get(), widget.get());
    EXPECT_EQ(widgets.get<std::shared_ptr<first::Widget>>()->get(), widget.get());
}

TEST(ServiceContainerGet, reachesTheDynamicClassOfAnObject) {
    auto logger = std::make_shared<FileLogger>();
    const auto entry = orvane::ServiceEntry::holding(std::shared_ptr<Closeable>(logger));
    EXPECT_EQ(entry.as<std::shared_ptr<FileLogger>>()->get(), logger.get());
    EXPECT_EQ(orvane::ServiceEntry::holding(logger).as<std::shared_ptr<Closeable>>()->get(),
              static_cast<Closeable*>(logger.get()));
}

TEST(ServiceContainerClear, releasesServicesOnlyAfterTheyLeaveTheContainer) {
    // A service whose destructor asks the container for itself.
    struct Watcher {
        Watcher(ServiceContainer& container, std::optional<bool>& found)
            : services(container), report(found) {}
        ~Watcher() { report = services.get<std::shared_ptr<Watcher>>().has_value(); }
        ServiceContainer& services;
        std::optional<bool>& report;
    };
    ServiceContainer services;
    for (const bool byClear : {false, true}) {
        std::optional<bool> found;
        services.add(std::make_shared<Watcher>(services, found));
        byClear ? services.clear() : services.remove(std::shared_ptr<Watcher>());
        EXPECT_EQ(found, false);
    }
}
