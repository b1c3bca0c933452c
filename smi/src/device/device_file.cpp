#include "device_file.hpp"

#include <vector>

namespace smi {

// The components of a path: the root, then each name; empty names and "."
// are left out, except a leading "." of a relative path.
static std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    if (path.starts_with('/')) parts.push_back("/");
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const auto part = path.substr(at, end - at);
        if (!part.empty() && (part != "." || (at == 0 && parts.empty()))) parts.push_back(part);
        at = end + 1;
    }
    return parts;
}

bool same_path(std::string_view a, std::string_view b) { return components(a) == components(b); }

}  // namespace smi
