#include "error.hpp"

#include <cstdio>
#include <cstring>

#include "text.hpp"

namespace smi {

SmiError SmiError::unknown_arch(std::uint16_t device_id) {
    return {.kind = Kind::UnknownArch, .device_id = device_id};
}

SmiError SmiError::parse(std::string message) {
    return {.kind = Kind::Parse, .message = std::move(message)};
}

SmiError SmiError::device_not_available(std::string message) {
    return {.kind = Kind::DeviceNotAvailable, .message = std::move(message)};
}

SmiError SmiError::device_not_found(std::string message) {
    return {.kind = Kind::DeviceNotFound, .message = std::move(message)};
}

SmiError SmiError::unexpected_value(std::string message) {
    return {.kind = Kind::UnexpectedValue, .message = std::move(message)};
}

SmiError SmiError::io_error(std::string_view path, int code) {
    return {.kind = Kind::Io, .message = to_text_lossy(path), .source = {.code = code}};
}

SmiError SmiError::io_error(std::string_view path, std::string text) {
    return {.kind = Kind::Io, .message = to_text_lossy(path), .source = {.text = std::move(text)}};
}

static std::string system_error_text(const SystemError& source) {
    if (source.code == 0) return source.text;
    char buffer[256];
    // The GNU strerror_r returns its own text or fills the buffer.
    const char* description = strerror_r(source.code, buffer, sizeof buffer);
    return std::string(description) + " (os error " + std::to_string(source.code) + ")";
}

std::string to_string(const SmiError& error) {
    switch (error.kind) {
    case SmiError::Kind::UnknownArch: {
        char id[8];
        std::snprintf(id, sizeof id, "%04x", error.device_id);
        return std::string("unknown architecture: device_id=0x") + id;
    }
    case SmiError::Kind::Parse: return "parse error: " + error.message;
    case SmiError::Kind::Io: return "io error: " + system_error_text(error.source) + " (" + error.message + ")";
    case SmiError::Kind::DeviceNotAvailable: return "device not available: " + error.message;
    case SmiError::Kind::DeviceNotFound: return "device not found: " + error.message;
    case SmiError::Kind::UnexpectedValue: return "unexpected value: " + error.message;
    }
    return "unknown error";
}

}  // namespace smi
