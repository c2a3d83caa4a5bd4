#include "Keychain/SecretServiceStatus.hpp"

#include <libsecret/secret.h>

#include <iterator>

namespace orvane::secretservice {

OSStatus statusOf(const GError* error, const glib::BoundedWait& wait, bool unlocking) {
    if (wait.expired() || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return unlocking ? errSecAuthFailed : errSecNotAvailable;
    }
    if (error == nullptr) {
        return status::internalComponent;
    }
    if (error->domain == SECRET_ERROR) {
        switch (error->code) {
            case SECRET_ERROR_IS_LOCKED:
                return errSecAuthFailed;
            case SECRET_ERROR_NO_SUCH_OBJECT:
                return errSecItemNotFound;
            case SECRET_ERROR_ALREADY_EXISTS:
                return errSecDuplicateItem;
            default:
                return status::decode;
        }
    }
    if (error->domain == G_DBUS_ERROR) {
        switch (error->code) {
            case G_DBUS_ERROR_SERVICE_UNKNOWN:
            case G_DBUS_ERROR_NAME_HAS_NO_OWNER:
            case G_DBUS_ERROR_NO_REPLY:
            case G_DBUS_ERROR_NO_SERVER:
            case G_DBUS_ERROR_DISCONNECTED:
            case G_DBUS_ERROR_TIMEOUT:
            case G_DBUS_ERROR_TIMED_OUT:
            case G_DBUS_ERROR_NO_NETWORK:
            case G_DBUS_ERROR_SPAWN_EXEC_FAILED:
            case G_DBUS_ERROR_SPAWN_FORK_FAILED:
            case G_DBUS_ERROR_SPAWN_CHILD_EXITED:
            case G_DBUS_ERROR_SPAWN_CHILD_SIGNALED:
            case G_DBUS_ERROR_SPAWN_FAILED:
            case G_DBUS_ERROR_SPAWN_SERVICE_NOT_FOUND:
            case G_DBUS_ERROR_SPAWN_SERVICE_INVALID:
            case G_DBUS_ERROR_SPAWN_FILE_INVALID:
                return errSecNotAvailable;
            // A service that does not know the request or the object. gnome-keyring
            // answers so for an item deleted meanwhile too; the operations tell that
            // case apart by searching again (Session::whileListed), never by the reply.
            case G_DBUS_ERROR_UNKNOWN_METHOD:
            case G_DBUS_ERROR_UNKNOWN_OBJECT:
            case G_DBUS_ERROR_UNKNOWN_INTERFACE:
            case G_DBUS_ERROR_UNKNOWN_PROPERTY:
                return status::unimplemented;
            case G_DBUS_ERROR_ACCESS_DENIED:
            case G_DBUS_ERROR_AUTH_FAILED:
                return errSecAuthFailed;
            case G_DBUS_ERROR_INVALID_ARGS:
                return errSecParam;
            case G_DBUS_ERROR_NOT_SUPPORTED:
                return status::unimplemented;
            default:
                return status::internalComponent;
        }
    }
    if (error->domain == G_IO_ERROR) {
        switch (error->code) {
            case G_IO_ERROR_CLOSED:
            case G_IO_ERROR_CONNECTION_CLOSED:
            case G_IO_ERROR_CONNECTION_REFUSED:
            case G_IO_ERROR_NOT_FOUND:
            case G_IO_ERROR_TIMED_OUT:
                return errSecNotAvailable;
            default:
                break;
        }
    }
    return status::internalComponent;
}

void fail(GError* error, const glib::BoundedWait& wait, bool unlocking) {
    const glib::ErrorPtr owned(error);
    throw Failure{statusOf(owned.get(), wait, unlocking)};
}

namespace {

// carriesAsText: D-Bus strings are UTF-8 without NUL bytes.
bool carriesAsText(const std::string& text) {
    return text.find('\0') == std::string::npos && g_utf8_validate(text.data(), std::ssize(text), nullptr);
}

}  // namespace

glib::ObjectPtr<GAsyncResult> finished(glib::ObjectPtr<GAsyncResult> result, OSStatus abandonedStatus) {
    if (!result) {
        throw Failure{abandonedStatus};
    }
    return result;
}

void requireText(std::initializer_list<const std::string*> texts) {
    for (const std::string* text : texts) {
        if (!carriesAsText(*text)) {
            throw Failure{errSecParam};
        }
    }
}

}  // namespace orvane::secretservice
