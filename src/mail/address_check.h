#pragma once
// The two mail addresses go into the SMTP envelope as MAIL FROM:<...> and
// RCPT TO:<...>. A line break would start a command of its own, and a '>' or
// a blank would end the address early and turn the rest into parameters of
// the command ("x@example.com> RET=FULL"), so neither may be in one.
#include <QString>
#include <optional>

#include "mail/mail_transport.h"

// Why address (blanks at both ends already stripped) cannot be used, as the
// delivery's failure: refused here, with the operator's text naming
// setting_name. Nothing when it can be used.
std::optional<DeliveryFailure> mail_address_refusal(const QString& address,
                                                    const QString& setting_name);
