#pragma once
// Turns a target's stored address text into the host an echo may be sent to.
#include <cstdint>
#include <optional>
#include <string_view>

// The IPv4 address (host byte order) of a dotted four-part text such as
// "192.168.1.1", or nothing when the text names no single host.
//
// Each part is decimal, 0..255, and may carry blanks around it, as the
// target editor's octet boxes admit them; leading zeros do not make a part
// octal ("010" is 10), since the operator typed a decimal number. Short forms
// ("10.1"), hex, signs and empty parts are refused, and so are addresses that
// are not one host: 0.0.0.0/8 (which Linux would quietly answer itself),
// multicast and reserved space (224.0.0.0 and up, the limited broadcast
// included).
std::optional<std::uint32_t> echo_destination(std::string_view text);
