// ServiceContainer: the registry of shared services keyed by type, holding
// its entries in a map from key to ServiceEntry. ServiceContainerType
// describes the operations and the keys.
//
// Ownership: the container owns every entry; a registered object is held
// until its entry is removed, the container is cleared, or the container is
// destroyed. An entry is taken out of the map before its service is
// released, so a service's destructor may use the container.
//
// Thread safety: none; serialise every call to one container.
//
//   orvane::ServiceContainer services;
//   services.add(Settings{.theme = "dark"});
//   services.add<std::shared_ptr<Logger>>(std::make_shared<FileLogger>());
//   services.get<Settings>();                   // a copy of the settings
//   services.get<std::shared_ptr<Logger>>();    // the same FileLogger
//   services.remove(std::shared_ptr<Logger>()); // by type: the value is not read
#pragma once

#include "Application/ServiceContainerType.hpp"
#include "Application/ServiceEntry.hpp"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace orvane {

class ServiceContainer : public ServiceContainerType {
public:
    ServiceContainer() = default;
    ServiceContainer(const ServiceContainer&) = delete;
    ServiceContainer& operator=(const ServiceContainer&) = delete;

    void clear() override;

protected:
    void addEntry(std::string key, ServiceEntry entry) override;
    void removeEntry(std::string_view key) override;
    const ServiceEntry* entry(std::string_view key) const override;

private:
    std::map<std::string, ServiceEntry, std::less<>> services_;
};

}  // namespace orvane
