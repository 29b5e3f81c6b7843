#pragma once
// How a notice reaches the mail server. A transport sends one notice per call
// over a connection of its own and says how it went.
#include <QString>
#include <optional>

#include "core/notice.h"

// Where a delivery stopped.
enum class DeliveryStage {
    Start,     // the mail library could not be made ready
    Refused,   // a setting was refused here, before anything went out
    Connect,   // the server: name, connection, greeting
    Session,   // EHLO, STARTTLS, AUTH
    Sender,    // MAIL FROM
    Recipient, // RCPT TO
    Data,      // DATA and the message
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
