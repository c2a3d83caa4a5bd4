#include "Application/ServiceContainer.hpp"

#include <utility>

namespace orvane {

void ServiceContainer::addEntry(std::string key, ServiceEntry entry) {
    if (!services_.empty() && services_.contains(key)) {
        return;
    }
    services_.emplace(std::move(key), std::move(entry));
}

void ServiceContainer::removeEntry(std::string_view key) {
    const auto found = services_.find(key);
    if (found == services_.end()) {
        return;
    }
    // Released after the map no longer holds it.
    auto removed = services_.extract(found);
}

const ServiceEntry* ServiceContainer::entry(std::string_view key) const {
    if (services_.empty()) {
        return nullptr;
    }
    const auto found = services_.find(key);
    return found == services_.end() ? nullptr : &found->second;
}

void ServiceContainer::clear() {
    if (services_.empty()) {
        return;
    }
    // Released after the container is already empty.
    std::map<std::string, ServiceEntry, std::less<>> released;
    released.swap(services_);
}

}  // namespace orvane
