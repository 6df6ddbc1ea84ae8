// The outcome of an operation that can fail for reasons a person should read
// (a file that does not compile, no display): the value, or the messages that
// say why there is none. Messages are lines of text; the last line ends
// without a newline. Content errors travel in a Result; programmer errors are
// asserts.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>

namespace ORV::Core {

template <class T> class [[nodiscard]] Result {
public:
    // Success.
    Result(T value) : value_(std::move(value)) {}
    // Failure. Empty messages are replaced, so that a failure always says something.
    static Result failure(std::string messages)
    {
        Result r;
        r.messages_ = messages.empty() ? std::string("failed without a message") : std::move(messages);
        return r;
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    T& value() &
    {
        assert(ok());
        return *value_;
    }
    const T& value() const&
    {
        assert(ok());
        return *value_;
    }
    T&& value() &&
    {
        assert(ok());
        return std::move(*value_);
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // Empty on success.
    const std::string& messages() const { return messages_; }

private:
    Result() = default;
    std::optional<T> value_;
    std::string messages_;
};

} // namespace ORV::Core
