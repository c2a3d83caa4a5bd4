// NSUserNotification: one desktop notification as the application describes
// it — what it says, when it is due, and the user information the
// application keeps with it (never sent to the notification server).
//
// A reference object: the user-notification center keeps the very object it
// was given in its scheduled and delivered lists, and removals find it by
// identity. The center records what happened to it: `presented` (its
// delegate's answer), `actualDeliveryDate` (when the server took it) and
// `activationType` (how the user activated it).
//
// Thread safety: none; build it on any thread, then hand it over (the center
// reads it on the main thread).
//
//   auto note = std::make_shared<orvane::NSUserNotification>();
//   note->setIdentifier("sync-finished");
//   note->setTitle("Vault synchronised");
//   note->setInformativeText("12 items updated");
//   note->setUserInfo({{"vault", orvane::Object("Personal")}});
#pragma once

#include "Platform/Foundation/Date.hpp"
#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Object.hpp"

#include <optional>
#include <string>
#include <utility>

namespace orvane {

// The sound name asking for the desktop's default notification sound.
inline constexpr const char* NSUserNotificationDefaultSoundName = "DefaultSoundName";

class NSUserNotification : public NSObject {
public:
    // How the user activated it, set by the center just before it says so.
    enum class ActivationType { none = 0, contentsClicked = 1, actionButtonClicked = 2 };

    const std::optional<std::string>& identifier() const { return identifier_; }
    void setIdentifier(std::optional<std::string> identifier) { identifier_ = std::move(identifier); }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    const std::string& subtitle() const { return subtitle_; }
    void setSubtitle(std::string subtitle) { subtitle_ = std::move(subtitle); }

    const std::string& informativeText() const { return informativeText_; }
    void setInformativeText(std::string text) { informativeText_ = std::move(text); }

    // Empty when the notification carries none.
    const ObjectDictionary& userInfo() const { return userInfo_; }
    void setUserInfo(ObjectDictionary userInfo) { userInfo_ = std::move(userInfo); }

    // When to deliver it; none or a past date means at once.
    const std::optional<Date>& deliveryDate() const { return deliveryDate_; }
    void setDeliveryDate(std::optional<Date> date) { deliveryDate_ = date; }

    const std::optional<std::string>& soundName() const { return soundName_; }
    void setSoundName(std::optional<std::string> name) { soundName_ = std::move(name); }

    // The label of the extra button; empty for none.
    const std::string& actionButtonTitle() const { return actionButtonTitle_; }
    void setActionButtonTitle(std::string title) { actionButtonTitle_ = std::move(title); }

    // Whether the center asked for it to be shown (its delegate's answer).
    bool isPresented() const { return presented_; }
    void setPresented(bool presented) { presented_ = presented; }

    // When the server took it; none until then (or when it was dropped).
    const std::optional<Date>& actualDeliveryDate() const { return actualDeliveryDate_; }
    void setActualDeliveryDate(std::optional<Date> date) { actualDeliveryDate_ = date; }

    ActivationType activationType() const { return activationType_; }
    void setActivationType(ActivationType type) { activationType_ = type; }

private:
    std::optional<std::string> identifier_;
    std::string title_;
    std::string subtitle_;
    std::string informativeText_;
    ObjectDictionary userInfo_;
    std::optional<Date> deliveryDate_;
    std::optional<std::string> soundName_;
    std::string actionButtonTitle_;
    bool presented_ = false;
    std::optional<Date> actualDeliveryDate_;
    ActivationType activationType_ = ActivationType::none;
};

}  // namespace orvane
