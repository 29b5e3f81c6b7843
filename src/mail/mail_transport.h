#pragma once
// How a notice reaches the mail server. A transport sends one notice per call
// over a connection of its own and says how it went.
#include <QString>
#include <optional>

#include "core/notice.h"

// Where a delivery stopped: the step whose reply was wrong or never came.
enum class DeliveryStage {
    Start,      // the mail library could not be made ready
    Refused,    // a setting was refused here, before anything went out
    Connect,    // the server's name, the connection (and TLS from the first byte)
    Greeting,   // the server's greeting
    Ehlo,       // EHLO
    StartTls,   // STARTTLS and the handshake after it
    Auth,       // AUTH, with the lines that go on with it
    Noop,       // NOOP, which proves the session before the message is made
    Mail,       // MAIL FROM
    Rcpt,       // RCPT TO
    Data,       // DATA
    MessageEnd, // the message and the "." that ends it
    Quit,       // QUIT
};

// Reply codes for failures that are not the server's reply:
//   0         the server could not be reached (name, connection, or no
//             answer in time): the generic "check the server" case
//   1..99     the mail library's own code (TLS, broken dialogue, time-out)
//   200..599  the server's reply code; the text is then the server's reply
//   900       refused here, before anything went out
namespace delivery_code {
constexpr int unreachable = 0;
constexpr int refused_setting = 900;
} // namespace delivery_code

struct DeliveryFailure {
    DeliveryStage stage = DeliveryStage::Connect;
    int code = delivery_code::unreachable;
    QString text; // the server's reply, or the reason in the operator's words
};

class MailTransport {
  public:
    virtual ~MailTransport() = default;
    // Nothing when the server took the notice.
    virtual std::optional<DeliveryFailure> send(const Notice& notice) = 0;
};
