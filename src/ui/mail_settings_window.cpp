#include "ui/mail_settings_window.h"

#include <QButtonGroup>
#include <QDateTime>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QVBoxLayout>
#include <optional>

#include "core/app_title.h"
#include "core/check_executor.h"
#include "core/file_error.h"
#include "core/message_box.h"
#include "core/shared_state.h"
#include "mail/test_mail.h"
#include "settings/smtp_file.h"

MailSettingsWindow::MailSettingsWindow(SharedState& state, MessageBoxes& boxes,
                                       MailTransport* transport, QString smtp_path,
                                       CheckExecutor* executor)
    : state_(state), boxes_(boxes), transport_(transport), executor_(executor),
      smtp_path_(std::move(smtp_path)) {
    setObjectName(QStringLiteral("mail_settings"));
    setWindowTitle(QStringLiteral("メール送信設定"));

    auto* encryption = new QGroupBox(QStringLiteral("暗号化"), this);
    no_encryption = new QRadioButton(encryption_name(MailEncryption::None), encryption);
    starttls = new QRadioButton(encryption_name(MailEncryption::StartTls), encryption);
    smtps = new QRadioButton(encryption_name(MailEncryption::Tls), encryption);
    auto* encryption_row = new QHBoxLayout(encryption);
    for (QRadioButton* b : {no_encryption, starttls, smtps})
        encryption_row->addWidget(b);
    verify = new QCheckBox(QStringLiteral("証明書を検証する"), this);

    user = new QLineEdit(this);
    password = new QLineEdit(this);
    password->setEchoMode(QLineEdit::Password);
    ca_file = new QLineEdit(this);
    browse = new QPushButton(QStringLiteral("参照…"), this);
    auto* ca_row = new QHBoxLayout;
    ca_row->addWidget(ca_file);
    ca_row->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("ユーザー名"), user);
    form->addRow(QStringLiteral("パスワード"), password);
    form->addRow(QStringLiteral("CA ファイル"), ca_row);

    test_send = new QPushButton(QStringLiteral("テスト送信(&T)"), this);
    ok = new QPushButton(QStringLiteral("OK"), this);
    cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(test_send);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(encryption);
    layout->addWidget(verify);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    const MailSecurity& s = state_.mail_security;
    no_encryption->setChecked(s.encryption == MailEncryption::None);
    starttls->setChecked(s.encryption == MailEncryption::StartTls);
    smtps->setChecked(s.encryption == MailEncryption::Tls);
    verify->setChecked(s.verify);
    user->setText(s.user);
    password->setText(s.password);
    ca_file->setText(s.ca_file);
    // Without encryption the certificate is never checked.
    verify->setEnabled(!no_encryption->isChecked());
    connect(no_encryption, &QRadioButton::toggled, verify,
            [this](bool none) { verify->setEnabled(!none); });

    test_send->setEnabled(transport_ != nullptr);
    connect(browse, &QPushButton::clicked, this, &MailSettingsWindow::choose_ca_file);
    connect(test_send, &QPushButton::clicked, this, &MailSettingsWindow::send_test_mail);
    connect(ok, &QPushButton::clicked, this, &MailSettingsWindow::save_and_close);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

MailSecurity MailSettingsWindow::values() const {
    MailSecurity s;
    s.encryption = smtps->isChecked()      ? MailEncryption::Tls
                   : starttls->isChecked() ? MailEncryption::StartTls
                                           : MailEncryption::None;
    s.verify = verify->isChecked();
    s.user = user->text();
    s.password = password->text();
    s.ca_file = ca_file->text();
    return s;
}

void MailSettingsWindow::choose_ca_file() {
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("CA 証明書ファイル"), ca_file->text(),
        QStringLiteral("PEM 証明書 (*.pem *.crt);;すべてのファイル (*)"));
    if (!chosen.isEmpty())
        ca_file->setText(chosen);
}

void MailSettingsWindow::send_test_mail() {
    if (!transport_)
        return;
    const Notice mail = test_mail(state_.settings, values(), QDateTime::currentDateTime());
    // A slow server may take the mail time-outs; the window and the checks
    // must not wait for it, only the button does.
    test_send->setEnabled(false);
    InlineExecutor in_the_call;
    CheckExecutor& executor = executor_ ? *executor_ : in_the_call;
    executor.run(
        [transport = transport_, mail] { return transport->send(mail); },
        [window = QPointer<MailSettingsWindow>(this),
         mail](const std::optional<DeliveryFailure>& failure) {
            if (!window)
                return; // closed meanwhile: nobody is waiting for the answer
            window->test_send->setEnabled(true);
            if (failure)
                window->boxes_.ok(test_mail_failed_text(*failure), app_title(), BoxIcon::Critical);
            else
                window->boxes_.ok(test_mail_sent_text(mail), app_title(), BoxIcon::Information);
        });
}

void MailSettingsWindow::save_and_close() {
    const MailSecurity chosen = values();
    try {
        save_mail_security(chosen, smtp_path_);
    } catch (const FileError& e) {
        boxes_.ok(e.text, app_title(), BoxIcon::Critical);
        return;
    }
    state_.mail_security = chosen;
    close();
}
