// NSObject: the root class of the library's reference objects.
//
// Objects that travel inside dynamic values (Object), archives and
// notifications derive from it and are owned through std::shared_ptr. Equality
// is identity unless a subclass overrides isEqual; className() names the class
// as archives and diagnostics show it.
//
// Thread safety: NSObject itself holds no mutable state.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <typeinfo>

namespace orvane {

// The name this library gives a C++ type: its demangled name with "::"
// written as ".", and this library's namespace written as the module name
// "TarvelOrvane" (orvane::Empty is "TarvelOrvane.Empty").
std::string qualifiedClassName(const std::type_info& type);

class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    NSObject() = default;
    NSObject(const NSObject&) = default;
    NSObject& operator=(const NSObject&) = default;
    virtual ~NSObject() = default;

    // Identity unless overridden.
    virtual bool isEqual(const NSObject& other) const { return this == &other; }
    virtual std::size_t hashValue() const;
    virtual std::string className() const { return qualifiedClassName(typeid(*this)); }
    virtual std::string description() const;
};

}  // namespace orvane
