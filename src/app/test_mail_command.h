#pragma once
// pelmora --test-mail: one test mail with the saved settings (conf.ini and
// smtp.ini in the working directory), the outcome on the terminal.
class MailTransport;

// 0 when the server took the mail, 1 when it did not or a file is bad.
int run_test_mail(MailTransport& transport);
