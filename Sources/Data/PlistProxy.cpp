#include "Data/PlistProxy.hpp"

#include "Data/PropertyListFile.hpp"
#include "Platform/Foundation/SystemLog.hpp"

namespace orvane {

ObjectDictionary PlistProxy::dictionary() const {
    return PropertyListFile::dictionary(plistURL()).value_or(ObjectDictionary{});
}

std::optional<Object> PlistProxy::entry(std::string_view key) const {
    return PropertyListFile::value(plistURL(), key);
}

std::optional<std::string> PlistProxy::readString(std::string_view withKey) const {
    const auto value = entry(withKey);
    return value ? value->as<std::string>() : std::nullopt;
}

std::optional<bool> PlistProxy::readBool(std::string_view withKey) const {
    const auto value = entry(withKey);
    return value ? value->as<bool>() : std::nullopt;
}

std::optional<Date> PlistProxy::readDate(std::string_view withKey) const {
    const auto value = entry(withKey);
    return value ? value->as<Date>() : std::nullopt;
}

std::optional<std::int64_t> PlistProxy::readInt(std::string_view withKey) const {
    const auto value = entry(withKey);
    return value ? value->as<std::int64_t>() : std::nullopt;
}

bool PlistProxy::write(const Object& value, std::string_view withKey) {
    ObjectDictionary contents = dictionary();
    contents.insert_or_assign(std::string(withKey), value);
    const URL url = plistURL();
    if (!PropertyListFile::write(contents, url)) {
        NSLog("Could not write to: " + url.absoluteString());
        return false;
    }
    return true;
}

}  // namespace orvane
