#include "Data/PlistFileManagerType.hpp"

#include "Data/PropertyListFile.hpp"

namespace orvane {

bool PlistFileManagerType::write(std::optional<Object> value, std::string_view forKey) {
    ObjectDictionary& contents = plistDictionary();
    if (value) {
        contents.insert_or_assign(std::string(forKey), std::move(*value));
    } else if (const auto entry = contents.find(forKey); entry != contents.end()) {
        contents.erase(entry);
    }
    return PropertyListFile::write(plistDictionary(), fileURL());
}

std::optional<Object> PlistFileManagerType::readValue(std::string_view forKey) {
    ObjectDictionary& contents = plistDictionary();
    const auto entry = contents.find(forKey);
    if (entry == contents.end()) {
        return std::nullopt;
    }
    return entry->second;
}

}  // namespace orvane
