#include "Data/ValueTypeName.hpp"

namespace orvane::detail {

std::string unqualifiedTypeName(const std::type_info& type) {
    // qualifiedClassName writes namespaces as "." components; drop those
    // before the type's own name (template arguments keep theirs).
    std::string name = qualifiedClassName(type);
    const std::size_t arguments = name.find('<');
    const std::size_t lastDot = name.rfind('.', arguments);
    if (lastDot != std::string::npos) {
        name.erase(0, lastDot + 1);
    }
    return name;
}

}  // namespace orvane::detail
