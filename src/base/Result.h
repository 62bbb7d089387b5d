#pragma once

#include <tl/expected.hpp>

#include <string>
#include <utility>

// The one way the core says whether something worked: a value, or an error that says what kind
// of failure it was and why. Callers never guess from an empty string or a null optional.
namespace velmora::conversion {

enum class ErrorKind {
    NotFound,    // the file does not exist
    NotAFile,    // a folder, a FIFO, a device
    ReadFailed,  // it exists but could not be read
    WriteFailed, // the target could not be written
    TooLarge,    // larger than anything the format can hold
    Damaged,     // the bytes are not what they should be (stream, header)
    Unsupported, // valid data the game cannot take (image layout, size)
    DoesNotFit,  // the compressed stream is longer than the game file's slot
    Stopped,     // the caller asked the run to stop; nothing was written
};

struct Error {
    ErrorKind kind = ErrorKind::Damaged;
    std::string reason; // a sentence fragment for the user: "the file does not exist"
};

template <typename T = void, typename E = Error>
class [[nodiscard]] Result : public tl::expected<T, E> {
  public:
    using tl::expected<T, E>::expected;
    Result(tl::expected<T, E> other) : tl::expected<T, E>(std::move(other)) {}
};

inline tl::unexpected<Error> fail(ErrorKind kind, std::string reason) {
    return tl::unexpected<Error>(Error{kind, std::move(reason)});
}

inline tl::unexpected<Error> fail(Error error) {
    return tl::unexpected<Error>(std::move(error));
}

} // namespace velmora::conversion
