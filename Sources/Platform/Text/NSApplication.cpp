#include "Platform/Text/NSApplication.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvane {

NSApplication& NSApplication::sharedApplication() {
    static NSApplication application;
    return application;
}

NSUserInterfaceLayoutDirection NSApplication::userInterfaceLayoutDirection() const {
    switch (direction_.load(std::memory_order_acquire)) {
        case 1:
            return NSUserInterfaceLayoutDirection::leftToRight;
        case 2:
            return NSUserInterfaceLayoutDirection::rightToLeft;
        default:
            break;
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return layoutDirectionForLocale(value);
        }
    }
    return NSUserInterfaceLayoutDirection::leftToRight;
}

void NSApplication::setUserInterfaceLayoutDirection(NSUserInterfaceLayoutDirection direction) {
    direction_.store(direction == NSUserInterfaceLayoutDirection::rightToLeft ? 2 : 1,
                     std::memory_order_release);
}

void NSApplication::resetUserInterfaceLayoutDirection() {
    direction_.store(0, std::memory_order_release);
}

NSUserInterfaceLayoutDirection NSApplication::layoutDirectionForLocale(std::string_view locale) {
    // Languages written right to left (ISO 639 codes as glibc names them).
    static constexpr std::array<std::string_view, 14> rightToLeft = {
        "ar", "arc", "ckb", "dv", "fa", "he", "iw", "ks", "ps", "sd", "syr", "ug", "ur", "yi"};
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    const bool isRightToLeft =
        std::find(rightToLeft.begin(), rightToLeft.end(), language) != rightToLeft.end();
    return isRightToLeft ? NSUserInterfaceLayoutDirection::rightToLeft
                         : NSUserInterfaceLayoutDirection::leftToRight;
}

}  // namespace orvane
