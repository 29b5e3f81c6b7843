#pragma once
// A failed step of an SMTP session, as the operator will read it.
#include <QString>
#include <cstdint>

struct SmtpFailure {
    std::int32_t code = 0;
    QString text;
};

// The codes, chosen so that each range tells the operator where to look:
//   0         the server could not be reached (name, connection, or no
//             answer in time), the case the generic "check the server" box is for
//   1..99     libcurl's own code for any other failure (TLS, broken dialogue, time-out)
//   200..599  the server's reply code; the text is the server's reply
//   900, 901  refused here, before anything went out: see below
namespace smtp_code {
constexpr std::int32_t unreachable = 0;
// A setting holds a control character; a line break there would start a new
// SMTP command or mail header.
constexpr std::int32_t refused_setting = 900;
// Sending on a handle that is not, or no longer, connected.
constexpr std::int32_t not_connected = 901;
} // namespace smtp_code
