#pragma once
// Start-up, run once before monitoring begins: refuse a second copy, make sure
// echo requests can be sent, read the settings, show the first state, read
// the target list.
#include <QString>
#include <functional>
#include <optional>

struct SharedState;
struct Settings;
struct TargetList;
struct MailSecurity;
class MessageBoxes;

struct StartupSteps {
    // Whether no other copy runs (and claims the right to run).
    std::function<bool()> first_copy;
    // Why echo requests cannot be sent, or nothing when they can. Without
    // that right every device would look dead, so the program ends instead.
    std::function<std::optional<QString>()> echo_right;
    // Read conf.ini and kanshi.ini; each throws FileError and then leaves its values alone.
    std::function<void(Settings&)> load_settings;
    std::function<void(TargetList&)> load_targets;
    // What the operator should know about hand-edited values the program
    // will follow as they are; empty when there is nothing to say.
    std::function<QString()> hand_edit_warnings;
    // smtp.ini, read after conf.ini; none: the defaults stay.
    std::function<void(MailSecurity&)> load_mail_security = {};
};

// Returns false when the program must end: a second copy, no right to send
// echo, or a file that could not be read. The operator has been told why in a
// message box. Warnings about the files come in a box that does not hold
// monitoring back.
bool start_monitor(SharedState& state, MessageBoxes& boxes, const StartupSteps& steps);

// The explanation for a system that refuses both kinds of ICMP socket.
QString echo_right_message(int error_number, const QString& binary_path);

// The text of the box that reports a file start-up could not read.
QString unreadable_at_startup_text(const QString& file_error_text);
