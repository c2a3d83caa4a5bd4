// Empty: the library's unit object, a success that carries nothing in a form
// that can go where only objects go (keyed archives, Object collections).
//
// Every instance is alike and carries nothing a caller can observe; equality
// is identity (NSObject's), so two Empty objects are equal only when they are
// the same object. Its archive is one entry, the number object 1 under
// "sentinel"; decoding accepts exactly that.
//
// Thread safety: immutable; share instances freely.
//
//   auto empty = std::make_shared<orvane::Empty>();
//   auto data = orvane::NSKeyedArchiver::archivedData(orvane::Object(empty));
//   auto back = orvane::NSKeyedUnarchiver::unarchivedObject<orvane::Empty>(*data);
#pragma once

#include "Platform/Archive/NSCoding.hpp"
#include "Platform/Foundation/NSObject.hpp"

#include <memory>
#include <string_view>

namespace orvane {

class Empty : public NSObject, public NSCoding {
public:
    Empty() = default;

    // Writes the number object 1 under "sentinel" (as an object, not a
    // Boolean or integer entry).
    void encode(NSCoder& coder) const override;

    // A new Empty when the coder holds a number object equal to 1 under
    // "sentinel" (1, 1.0 and true all are); nullptr otherwise.
    static std::shared_ptr<Empty> initWithCoder(NSCoder& coder);

private:
    enum class Keys { sentinel };
    static constexpr std::string_view keyName(Keys key) {
        switch (key) {
            case Keys::sentinel:
                return "sentinel";
        }
        return {};
    }

    bool sentinel_ = true;
};

}  // namespace orvane
