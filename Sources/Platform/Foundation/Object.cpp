#include "Platform/Foundation/Object.hpp"

#include <cmath>
#include <sstream>

namespace orvane {

Object::Object(ObjectArray value) : storage_(std::make_shared<const ObjectArray>(std::move(value))) {}

Object::Object(ObjectDictionary value)
    : storage_(std::make_shared<const ObjectDictionary>(std::move(value))) {}

const ObjectArray* Object::arrayIf() const noexcept {
    const auto* array = std::get_if<std::shared_ptr<const ObjectArray>>(&storage_);
    return array ? array->get() : nullptr;
}

const ObjectDictionary* Object::dictionaryIf() const noexcept {
    const auto* dictionary = std::get_if<std::shared_ptr<const ObjectDictionary>>(&storage_);
    return dictionary ? dictionary->get() : nullptr;
}

bool Object::isNumber() const noexcept {
    const Kind current = kind();
    return current == Kind::boolean || current == Kind::integer || current == Kind::real;
}

std::optional<double> Object::numberValue() const noexcept {
    if (const auto* boolean = booleanIf()) {
        return *boolean ? 1.0 : 0.0;
    }
    if (const auto* integer = integerIf()) {
        return static_cast<double>(*integer);
    }
    if (const auto* large = unsignedIf()) {
        return static_cast<double>(*large);
    }
    if (const auto* real = realIf()) {
        return *real;
    }
    return std::nullopt;
}

namespace {

// Exact: beyond 2^53 a double cannot hold every integer, and long double is no
// wider than double on some targets, so neither side is converted lossily.
bool integerEqualsReal(std::int64_t integer, double real) {
    // [-2^63, 2^63) is the int64 range; NaN fails both comparisons.
    constexpr double beyond = 9223372036854775808.0;
    if (!(real >= -beyond && real < beyond) || real != std::trunc(real)) {
        return false;
    }
    return static_cast<std::int64_t>(real) == integer;
}

}  // namespace

bool operator==(const Object& lhs, const Object& rhs) {
    // Integers and doubles compare by value, as number objects do.
    if (const auto* integer = lhs.integerIf(); integer && rhs.realIf()) {
        return integerEqualsReal(*integer, *rhs.realIf());
    }
    if (const auto* real = lhs.realIf(); real && rhs.integerIf()) {
        return integerEqualsReal(*rhs.integerIf(), *real);
    }
    if (const auto* large = lhs.unsignedIf(); large && rhs.realIf()) {
        return static_cast<long double>(*large) == static_cast<long double>(*rhs.realIf());
    }
    if (const auto* real = lhs.realIf(); real && rhs.unsignedIf()) {
        return static_cast<long double>(*real) == static_cast<long double>(*rhs.unsignedIf());
    }
    if (lhs.storage_.index() != rhs.storage_.index()) {
        return false;
    }
    switch (lhs.kind()) {
        case Object::Kind::null:
            return true;
        case Object::Kind::boolean:
            return *lhs.booleanIf() == *rhs.booleanIf();
        case Object::Kind::integer:  // the same storage: both signed or both unsigned
            return lhs.integerIf() ? *lhs.integerIf() == *rhs.integerIf()
                                   : *lhs.unsignedIf() == *rhs.unsignedIf();
        case Object::Kind::real:
            return *lhs.realIf() == *rhs.realIf();
        case Object::Kind::string:
            return *lhs.stringIf() == *rhs.stringIf();
        case Object::Kind::data:
            return *lhs.dataIf() == *rhs.dataIf();
        case Object::Kind::date:
            return *lhs.dateIf() == *rhs.dateIf();
        case Object::Kind::array:
            return *lhs.arrayIf() == *rhs.arrayIf();
        case Object::Kind::dictionary:
            return *lhs.dictionaryIf() == *rhs.dictionaryIf();
        case Object::Kind::reference:
            return (*lhs.referenceIf())->isEqual(**rhs.referenceIf());
        case Object::Kind::box: {
            const auto& left = std::get<Object::Boxed>(lhs.storage_);
            const auto& right = std::get<Object::Boxed>(rhs.storage_);
            if (left.type != right.type) {
                return false;
            }
            if (left.value == right.value) {
                return true;
            }
            return left.equal != nullptr && left.equal(left.value.get(), right.value.get());
        }
    }
    return false;
}

namespace {

void describe(const Object& object, std::ostringstream& out) {
    switch (object.kind()) {
        case Object::Kind::null:
            out << "<null>";
            break;
        case Object::Kind::boolean:
            out << (*object.booleanIf() ? "true" : "false");
            break;
        case Object::Kind::integer:
            if (object.integerIf()) {
                out << *object.integerIf();
            } else {
                out << *object.unsignedIf();
            }
            break;
        case Object::Kind::real:
            out << *object.realIf();
            break;
        case Object::Kind::string:
            out << '"' << *object.stringIf() << '"';
            break;
        case Object::Kind::data:
            // Byte buffers may hold secrets: show only their length.
            out << "<" << object.dataIf()->size() << " bytes>";
            break;
        case Object::Kind::date:
            out << "<date " << object.dateIf()->timeIntervalSince1970() << ">";
            break;
        case Object::Kind::array: {
            out << '(';
            const char* separator = "";
            for (const Object& element : *object.arrayIf()) {
                out << separator;
                describe(element, out);
                separator = ", ";
            }
            out << ')';
            break;
        }
        case Object::Kind::dictionary: {
            out << '{';
            const char* separator = "";
            for (const auto& [key, element] : *object.dictionaryIf()) {
                out << separator << key << " = ";
                describe(element, out);
                separator = "; ";
            }
            out << '}';
            break;
        }
        case Object::Kind::reference:
            out << (*object.referenceIf())->description();
            break;
        case Object::Kind::box:
            out << "<boxed value>";
            break;
    }
}

}  // namespace

std::string Object::description() const {
    std::ostringstream out;
    describe(*this, out);
    return out.str();
}

}  // namespace orvane
