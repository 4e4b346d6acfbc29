// The errors Brisvane raises. One base class carries the message; the error report shows it
// with a full stop appended.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Raised by TRegistry; the message names the value, e.g. "Failed to set data for 'Cookies'".
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};
