#include "Application/Coordinator.hpp"

#include <utility>

namespace orvane {

void Coordinator::modifyChildCoordinators(const std::function<void(Children&)>& modify) {
    Children children = childCoordinators();
    modify(children);
    setChildCoordinators(std::move(children));
}

void Coordinator::add(std::shared_ptr<Coordinator> childCoordinator) {
    modifyChildCoordinators(
        [&childCoordinator](Children& children) { children.push_back(std::move(childCoordinator)); });
}

void Coordinator::remove(const std::shared_ptr<Coordinator>& childCoordinator) {
    const Children children = childCoordinators();
    Children kept;
    kept.reserve(children.size());
    for (const auto& child : children) {
        if (child.get() != childCoordinator.get()) {
            kept.push_back(child);
        }
    }
    setChildCoordinators(std::move(kept));
}

}  // namespace orvane
