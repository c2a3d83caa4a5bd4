// SecKeychainProxy: the keychain adaptor over the Secret Service, the D-Bus
// secret store of the Linux desktop (GNOME Keyring, KeePassXC, KWallet).
//
// Items are kept in the user's default collection. An item is found by its
// "account" and "service" attributes whichever client made it; items written
// here carry the schema "com.orvane.GenericPassword", the key's name as their
// label, and the secret as binary-safe bytes ("application/octet-stream").
// Where several items match, every operation picks the same one: the most
// recently modified (then the most recently created, then the highest object
// path). deleteItem removes all of them. An item that vanishes while an
// operation runs counts as missing.
//
// The Secret Service has no per-application access control, so the access
// record is stored with the item as two more attributes:
//   "access-descriptor"     the descriptor, or the account when it is empty;
//   "trusted-applications"  the identity blob (TrustedApplicationIdentity) of
//                           each application, Base64, joined by "," in the
//                           order given, repeats kept; "" for none.
// trustedApplicationsData(item) reads that record back. An item without it
// (made by another tool) trusts no application, as an entry that admits every
// application does. This record tells the store which applications the key
// was written for; it does not stop another program of the same user from
// reading the secret through the Secret Service.
//
// Failures are the Seckeychain errors of SecKeychainError.hpp. Statuses:
// errSecDuplicateItem (-25299) add over an existing item, errSecNotAvailable
// (-25291) no session bus, no Secret Service on it, or one that stopped answering,
// errSecAuthFailed (-25293) the collection is locked and was not unlocked in
// time (or the service refused access), -25294 no default collection to add
// to, errSecParam (-50) a text that D-Bus cannot carry (not UTF-8, or a NUL),
// -26275 a reply or access record that cannot be decoded, -4 a request the
// service does not support or knows nothing of ("no such method/object": an
// incompatible service is never taken for an empty one; an item deleted
// meanwhile is told apart by searching again), -2070 any other service
// failure; and, without a
// service call, errSecInvalidItemRef (-25304) a handle this adaptor did not
// make, errSecIO (-36) an application path with no file behind it,
// errSecParam (-50) one that is not absolute.
//
// The service is reached over GLib's session-bus connection (libsecret takes
// no other): the bus DBUS_SESSION_BUS_ADDRESS names, else the per-user socket
// $XDG_RUNTIME_DIR/bus. No bus is ever launched: when there is neither, or the
// variable asks for "autolaunch:", every call fails at once with
// errSecNotAvailable. Every call is bounded by the timeout: a locked
// collection is unlocked when the service can do it, but a prompt that nobody
// answers ends in errSecAuthFailed when the time is up. The Secret Service
// proxy and its transfer session are opened at the first call and kept; when
// the service goes away or restarts they are opened again by the next call.
// The adaptor also remembers where it last found each account and service
// (the object path, never the secret) and sends the request for that item
// together with the search, so that a read waits for one exchange rather than
// two; the answer is used only when the search finds exactly that item. It
// counts the service's signals (a filter and a subscription on that shared
// connection): the service signals every change before it answers the call
// that made it, so while the count stays where it was at the search that
// found the item, the search is not sent again. fetchItem also reads the
// secret beside the attributes, and a fetchData for the same account and
// service that follows on the same thread (no other call of the adaptor in
// between) returns it after one Ping to the bus shows no signal came since;
// a change made by any client before fetchData began is always seen. Until
// then the secret waits in the thread's wiped memory; the thread's next call
// of the adaptor, whichever it is, drops it.
//
// addItem searches, then creates; adds of one account and service hold
// SecretServiceAddLock across both, so that concurrent adds from threads or
// processes leave one item and refuse the others with errSecDuplicateItem.
//
// Thread safety: any thread may call; calls may overlap. Each call runs its
// own private GLib main context on the caller's thread, so none of them needs
// or disturbs the application's main loop.
//
//   auto proxy = std::make_shared<orvane::SecKeychainProxy>();
//   proxy->addItem("alice", "com.example.vault", "Vault", "", {"/usr/bin/vault"}, secret);
//   std::optional<orvane::Data> bytes = proxy->fetchData("alice", "com.example.vault");
#pragma once

#include "Keychain/SecKeychainProxyType.hpp"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

namespace secretservice {
class Connection;
}

class SecKeychainProxy : public SecKeychainProxyType {
public:
    // The bound of one call when none is given. Applications that expect the
    // user to type an unlock password at the prompt may give a longer one.
    static constexpr std::chrono::milliseconds defaultTimeout{10'000};

    // SecKeychainProxy: the Secret Service on the session bus; each call
    // gives up after `timeout`.
    explicit SecKeychainProxy(std::chrono::milliseconds timeout = defaultTimeout);
    ~SecKeychainProxy() override;

    std::optional<SecKeychainItem> fetchItem(const std::string& account, const std::string& service) override;
    std::optional<Data> fetchData(const std::string& account, const std::string& service) override;
    void deleteItem(const std::string& account, const std::string& service) override;
    void addItem(const std::string& account, const std::string& service, const std::string& name,
                 const std::string& descriptor, const std::vector<std::string>& aclPaths,
                 const Data& data) override;
    std::vector<Data> trustedApplicationsData(const SecKeychainItem& item) override;
    std::vector<Data> trustedApplicationsData(const std::vector<std::string>& paths) override;

private:
    std::unique_ptr<secretservice::Connection> connection_;
};

}  // namespace orvane
