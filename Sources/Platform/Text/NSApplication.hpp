// NSApplication: the application-wide facts the presentation helpers ask
// for. On Linux it holds only the user-interface layout direction: a GTK
// application passes its widget direction (gtk_widget_get_default_direction)
// through setUserInterfaceLayoutDirection; until it does, the direction comes
// from the language of the locale (LC_ALL, then LC_MESSAGES, then LANG), so
// Arabic, Hebrew, Persian, Urdu and the other right-to-left languages read
// right to left.
//
// Thread safety: any thread may read or set the direction; the value is
// atomic, and the locale is read on every ask while no direction was set.
//
//   orvane::NSApplication::sharedApplication().setUserInterfaceLayoutDirection(
//       orvane::NSUserInterfaceLayoutDirection::rightToLeft);
#pragma once

#include <atomic>
#include <string_view>

namespace orvane {

enum class NSUserInterfaceLayoutDirection { leftToRight, rightToLeft };

class NSApplication final {
public:
    static NSApplication& sharedApplication();

    NSApplication(const NSApplication&) = delete;
    NSApplication& operator=(const NSApplication&) = delete;

    NSUserInterfaceLayoutDirection userInterfaceLayoutDirection() const;
    void setUserInterfaceLayoutDirection(NSUserInterfaceLayoutDirection direction);
    // Forgets a set direction, so the locale decides again.
    void resetUserInterfaceLayoutDirection();

    // The direction of a locale name such as "ar_EG.UTF-8" or "he": its
    // language (before '_', '.' or '@') decides; "C", "POSIX" and the empty
    // name are left to right.
    static NSUserInterfaceLayoutDirection layoutDirectionForLocale(std::string_view locale);

private:
    NSApplication() = default;

    // 0: not set; 1: left to right; 2: right to left.
    std::atomic<int> direction_{0};
};

}  // namespace orvane
