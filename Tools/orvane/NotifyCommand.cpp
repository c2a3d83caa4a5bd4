#include "orvane/NotifyCommand.hpp"

#include "orvane/CommandParsing.hpp"

#include "Platform/Dispatch/MainLoop.hpp"
#include "Presentation/UserNotificationCenterProxy.hpp"
#include "orvane/ExitStatus.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

namespace orvane::cli {

namespace {

class Answer : public UserNotificationCenterProxyObserver {
public:
    void didPropagate(const std::shared_ptr<NSUserNotification>& notification) override {
        if (!answered) {
            answered = notification->activationType() != NSUserNotification::ActivationType::none
                           ? "activated"
                           : "dismissed";
        }
    }
    const char* answered = nullptr;
};

bool listed(const NSUserNotificationCenter::Notifications& list,
            const std::shared_ptr<NSUserNotification>& note) {
    return std::find(list.begin(), list.end(), note) != list.end();
}

}  // namespace

int runNotifyCommand(int argc, char** argv) {
    CLI::App app("Posts a desktop notification to the session's notification server.", "orvane notify");
    std::string title;
    std::string subtitle;
    std::string body;
    double after = 0;
    bool wait = false;
    app.add_option("--title", title, "The notification's title")->required();
    app.add_option("--subtitle", subtitle, "A line under the title");
    app.add_option("--body", body, "The notification's text");
    app.add_option("--after", after, "Deliver it this many seconds from now")
        ->check(CLI::Range(0.0, 86400.0));
    app.add_flag("--wait", wait, "Wait for the user, then print \"activated\" or \"dismissed\"");
    app.footer(
        "Exit status:\n"
        "  0  the server took the notification (and, with --wait, the user answered)\n"
        "  1  no notification server took it, or it closed without an answer\n"
        "  2  the command line could not be understood\n");
    if (const auto status = parseCommand(app, argc, argv)) {
        return *status;
    }

    auto note = std::make_shared<NSUserNotification>();
    note->setTitle(title);
    note->setSubtitle(subtitle);
    note->setInformativeText(body);
    if (after > 0) {
        note->setDeliveryDate(Date::now().addingTimeInterval(after));
    }
    const auto center = NSUserNotificationCenter::defaultUserNotificationCenter();
    auto proxy = std::make_shared<UserNotificationCenterProxy>(center);
    auto answer = std::make_shared<Answer>();
    proxy->addObserver(answer);
    proxy->schedule(note);

    // Taken by the server, or dropped (no longer in either list).
    const auto settled = [&] {
        return note->actualDeliveryDate() || (!listed(center->scheduledNotifications(), note) &&
                                              !listed(center->deliveredNotifications(), note));
    };
    using std::chrono::milliseconds;
    MainLoop::runFor(milliseconds(1));
    MainLoop::runUntil(settled, milliseconds(static_cast<long>(after * 1000)) + std::chrono::seconds(30));
    if (!note->actualDeliveryDate()) {
        std::cerr << "orvane notify: no notification server took the notification\n";
        return static_cast<int>(ExitStatus::failure);
    }
    if (!wait) {
        return static_cast<int>(ExitStatus::success);
    }
    MainLoop::runUntil([&] { return answer->answered || !listed(center->deliveredNotifications(), note); },
                       std::chrono::hours(24 * 365));
    if (!answer->answered) {
        std::cerr << "orvane notify: the notification closed without an answer\n";
        return static_cast<int>(ExitStatus::failure);
    }
    std::cout << answer->answered << std::endl;
    return static_cast<int>(ExitStatus::success);
}

}  // namespace orvane::cli
