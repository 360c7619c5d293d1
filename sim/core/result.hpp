#pragma once
// The simulator's one way of saying that something could not be done: a value, or why not.
#include <string>
#include <utility>

#include <tl/expected.hpp>

namespace sim {

// Why something could not be done, in words a user reads.
struct Error {
    std::string message;
};

// A T, or why there is none. An error type of its own (with a status, say) may stand for Error.
template <class T = void, class E = Error>
using Result = tl::expected<T, E>;

inline tl::unexpected<Error> failure(std::string message) { return tl::unexpected(Error{std::move(message)}); }

}  // namespace sim
