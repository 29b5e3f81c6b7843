#include "platform/echo/echo_destination.h"

namespace {

std::string_view trim_blanks(std::string_view part) {
    while (!part.empty() && part.front() == ' ')
        part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ')
        part.remove_suffix(1);
    return part;
}

std::optional<std::uint32_t> parse_octet(std::string_view part) {
    part = trim_blanks(part);
    if (part.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 255)
            return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<std::uint32_t> echo_destination(std::string_view text) {
    std::uint32_t address = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = text.find('.');
        const bool last = i == 3;
        if (last != (dot == std::string_view::npos))
            return std::nullopt;
        const auto octet = parse_octet(last ? text : text.substr(0, dot));
        if (!octet)
            return std::nullopt;
        address = (address << 8) | *octet;
        if (!last)
            text.remove_prefix(dot + 1);
    }
    const std::uint32_t first = address >> 24;
    if (first == 0 || first >= 224)
        return std::nullopt;
    return address;
}
