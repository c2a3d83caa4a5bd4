// Coordinator: the interface of objects arranged in a parent/child tree, in
// which each coordinator keeps its children alive in a list.
//
// An adopter stores the list and exposes it through childCoordinators() and
// setChildCoordinators(); the list is ordered by addition, holds its children
// strongly, and may hold the same child more than once. Every coordinator
// then gets three operations on that list:
//   - add(child): appends the child through modifyChildCoordinators(). No
//     check for duplicates or for the coordinator itself (a coordinator that
//     holds itself is never released), and nothing is set on the child.
//   - remove(child): reads the list, keeps every element that is not the
//     same object as the child, and assigns the result with
//     setChildCoordinators(), exactly once, even when nothing was removed.
//   - hasChildCoordinator<T>(): whether a direct child's class is exactly T
//     (a child of a subclass of T does not count).
//
// modifyChildCoordinators() is the list's in-place modification. By default
// it reads the list, changes the copy, and assigns it back (one
// childCoordinators() call and one setChildCoordinators() call); an adopter
// may override it to change its stored list in place instead.
//
// Thread safety: none; a coordinator tree is used from one thread at a time.
//
//   class AppCoordinator : public orvane::Coordinator {
//   public:
//       Children childCoordinators() const override { return children_; }
//       void setChildCoordinators(Children children) override { children_ = std::move(children); }
//   private:
//       Children children_;
//   };
//   app->add(std::make_shared<LoginCoordinator>());
//   app->hasChildCoordinator<LoginCoordinator>();   // true
#pragma once

#include "Core/TarvelApple.hpp"

#include <concepts>
#include <functional>
#include <memory>
#include <vector>

namespace orvane {

class Coordinator {
public:
    using Children = std::vector<std::shared_ptr<Coordinator>>;

    virtual ~Coordinator() = default;

    virtual Children childCoordinators() const = 0;
    virtual void setChildCoordinators(Children childCoordinators) = 0;

    // Applies `modify` to the list in place; see above.
    virtual void modifyChildCoordinators(const std::function<void(Children&)>& modify);

    void add(std::shared_ptr<Coordinator> childCoordinator);
    void remove(const std::shared_ptr<Coordinator>& childCoordinator);

    template <std::derived_from<Coordinator> T>
    bool hasChildCoordinator() const {
        return tarvelapple::first<T>(childCoordinators()) != nullptr;
    }

protected:
    Coordinator() = default;
    Coordinator(const Coordinator&) = default;
    Coordinator& operator=(const Coordinator&) = default;
};

}  // namespace orvane
