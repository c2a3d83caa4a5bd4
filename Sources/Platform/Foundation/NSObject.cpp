#include "Platform/Foundation/NSObject.hpp"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string_view>

namespace orvane {

std::string qualifiedClassName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string_view rest = (status == 0 && demangled) ? demangled.get() : type.name();

    // Built by appending: g++ 12 at -O3 raises a false -Wrestrict on
    // std::string::replace and on operator+ with a literal first.
    std::string name;
    constexpr std::string_view ownNamespace = "orvane::";
    constexpr std::string_view module = "TarvelOrvane.";
    name.reserve(rest.size() + module.size());
    if (rest.starts_with(ownNamespace)) {
        name.append(module);
        rest.remove_prefix(ownNamespace.size());
    }
    for (std::size_t at = rest.find("::"); at != std::string_view::npos; at = rest.find("::")) {
        name.append(rest.substr(0, at)).push_back('.');
        rest.remove_prefix(at + 2);
    }
    name.append(rest);
    return name;
}

std::size_t NSObject::hashValue() const {
    return std::hash<const void*>{}(this);
}

std::string NSObject::description() const {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string text("<");
    text.append(className()).append(": ").append(address).push_back('>');
    return text;
}

}  // namespace orvane
