// The one error type of the core library, and the early-return macro that
// carries it up the call chain.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace smi {

/// The system error behind an `Io` failure: an error number from the C
/// library, or a text of the library's own when no system call failed.
struct SystemError {
    int code = 0;         // errno value; 0 when `text` describes the failure
    std::string text;
};

struct SmiError {
    enum class Kind { UnknownArch, Parse, Io, DeviceNotAvailable, DeviceNotFound, UnexpectedValue };

    Kind kind;
    std::string message;      // the payload text; for `Io` the path
    std::uint16_t device_id = 0;  // `UnknownArch` only
    SystemError source;       // `Io` only

    static SmiError unknown_arch(std::uint16_t device_id);
    static SmiError parse(std::string message);
    static SmiError device_not_available(std::string message);
    static SmiError device_not_found(std::string message);
    static SmiError unexpected_value(std::string message);
    /// `Io` with the path rendered as text (invalid UTF-8 replaced) and an errno.
    static SmiError io_error(std::string_view path, int code);
    /// `Io` with the path and a text of the library's own in place of an errno.
    static SmiError io_error(std::string_view path, std::string text);
};

/// The error's one-line text, e.g. "io error: No such file or directory (os error 2) (/x)".
std::string to_string(const SmiError& error);

template <class T> using Result = std::expected<T, SmiError>;

}  // namespace smi

// Evaluates a Result; on error returns it from the enclosing function, otherwise
// yields the value (nothing for Result<void>).
#define TRY(expr)                                                        \
    __extension__({                                                      \
        auto smi_try_result_ = (expr);                                   \
        if (!smi_try_result_)                                            \
            return std::unexpected(std::move(smi_try_result_).error());  \
        *std::move(smi_try_result_);                                     \
    })
