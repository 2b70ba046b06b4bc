// The result of an operation of the photogeo namespace: a value, or an Error that says what
// failed, on what, and why. No exception leaves these operations; a caller tests ok() before
// it takes value().
#ifndef PHOTOGEO_RESULT_H
#define PHOTOGEO_RESULT_H

#include <optional>
#include <string>
#include <utility>

namespace photogeo {

struct Error {
    // One line for a person: the operation, the file or item concerned, and the reason
    // ("rename /tmp/a.jpg: Permission denied").
    std::string message;
    // The errno the system gave when it caused the failure, else 0.
    int code = 0;
};

// A value of type T or an Error. value() on a failed result is a programming error
// (std::bad_optional_access).
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Error error) : m_error(std::move(error)) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return m_value.value(); }
    T& value() & { return m_value.value(); }
    T&& value() && { return std::move(m_value.value()); }
    // The failure; an empty Error when the result holds a value.
    const Error& error() const { return m_error; }

private:
    std::optional<T> m_value;
    Error m_error;
};

// Success (default) or an Error.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_failed(true), m_error(std::move(error)) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error& error() const { return m_error; }

private:
    bool m_failed = false;
    Error m_error;
};

}  // namespace photogeo

#endif
