// SerializationError: a failed encoding or decoding of a BinarySerializable
// value, with a free-text message.
//
//   - encodingError (0): "Encoding error. " followed by the message;
//   - decodingError (1): "Decoding error. " followed by the message.
//
// That text is the debug description and the only user-information entry
// (under NSDebugDescriptionErrorKey). The domain is the type's own,
// "com.orvane.vaultrix.SerializationError". The ready-made serializations
// never throw it; it is for types that implement the operations themselves
// and for callers that turn an absent result into an error.
//
// Immutable value; safe to share between threads.
//
//   auto note = Note::deserialize(bytes);
//   if (!note) throw orvane::SerializationError::decodingError("not a note");
#pragma once

#include "Platform/Foundation/Error.hpp"

#include <string>
#include <string_view>

namespace orvane {

enum class SerializationErrorCase { encodingError, decodingError };

class SerializationError : public EnumeratedError<SerializationError, SerializationErrorCase> {
public:
    static constexpr std::string_view typeName = "SerializationError";
    static constexpr std::string_view errorDomain = "com.orvane.vaultrix.SerializationError";

    SerializationError(Case errorCase, std::string message);
    static SerializationError encodingError(std::string message) {
        return SerializationError(Case::encodingError, std::move(message));
    }
    static SerializationError decodingError(std::string message) {
        return SerializationError(Case::decodingError, std::move(message));
    }

    const std::string& message() const noexcept { return message_; }
    // The case's prefix followed directly by the message.
    std::string debugDescription() const;
    ObjectDictionary userInfo() const override;

    friend bool operator==(const SerializationError& lhs, const SerializationError& rhs) {
        return lhs.errorCase() == rhs.errorCase() && lhs.message_ == rhs.message_;
    }

private:
    std::string message_;
};

}  // namespace orvane
