#pragma once
// The メール送信設定 window: how notices reach a mail server that wants TLS
// or a login (smtp.ini). OK saves and puts the values in force for the next
// notice, キャンセル discards, テスト送信 tries the values as they stand.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "core/mail_security.h"

struct SharedState;
class MessageBoxes;
class MailTransport;
class CheckExecutor;

class MailSettingsWindow : public QWidget {
    Q_OBJECT
  public:
    // transport: where テスト送信 sends; none: the button is off. executor:
    // where the send blocks, so that the windows and the checks go on
    // meanwhile; none: in the call.
    MailSettingsWindow(SharedState& state, MessageBoxes& boxes, MailTransport* transport,
                       QString smtp_path, CheckExecutor* executor = nullptr);

    MailSecurity values() const; // as they stand in the window
    void send_test_mail();
    void save_and_close();

    QRadioButton* no_encryption;
    QRadioButton* starttls;
    QRadioButton* smtps;
    QCheckBox* verify;
    QLineEdit* user;
    QLineEdit* password;
    QLineEdit* ca_file;
    QPushButton* browse;
    QPushButton* test_send;
    QPushButton* ok;
    QPushButton* cancel;

  private:
    void choose_ca_file();

    SharedState& state_;
    MessageBoxes& boxes_;
    MailTransport* transport_;
    CheckExecutor* executor_;
    QString smtp_path_;
};
