#include "ui/settings_window.h"

#include <QCloseEvent>

#include "ui/controls.h"
#include "ui/program_end.h"

SettingsWindow::SettingsWindow(Settings& settings, MessageBoxes& boxes, QString conf_path)
    : settings_(settings), boxes_(boxes), conf_path_(std::move(conf_path)) {
    setObjectName(QStringLiteral("kankyo"));
    setWindowTitle(QStringLiteral("環境設定"));
    setFixedSize(313, 300);

    admin_address_caption = make_label(
        this, "Label1", QStringLiteral("管理者メールアドレス(メール先)"), {8, 8, 169, 17});
    admin_address = make_text_box(this, "Text1", QString(), {8, 24, 297, 25});
    sender_address_caption =
        make_label(this, "Label2", QStringLiteral("送信用メールアドレス"), {8, 56, 129, 17});
    sender_address = make_text_box(this, "Text2", QString(), {8, 72, 297, 25});
    smtp_server_caption =
        make_label(this, "Label3", QStringLiteral("送信用SMTPサーバアドレス"), {8, 104, 161, 17});
    smtp_server = make_text_box(this, "Text3", QString(), {8, 120, 297, 25});
    sender_domain_caption =
        make_label(this, "Label4", QStringLiteral("送信用　ドメイン名"), {8, 152, 177, 17});
    sender_domain = make_text_box(this, "Text4", QString(), {8, 168, 233, 25});
    interval_caption =
        make_label(this, "Label5", QStringLiteral("監視間隔（分）"), {8, 200, 81, 17});
    interval_minutes = make_text_box(this, "Text5", QString(), {16, 216, 41, 25});
    attempts_caption =
        make_label(this, "Label6", QStringLiteral("ICMP失敗許容値"), {96, 200, 97, 17});
    attempts = make_text_box(this, "Text6", QString(), {104, 216, 41, 25});
    stop_after_notices_caption =
        make_label(this, "Label8", QStringLiteral("Mail配信停止値"), {8, 248, 81, 17});
    stop_after_notices = make_text_box(this, "Text8", QString(), {16, 264, 41, 25});
    ttl_caption = make_label(this, "Label7", QStringLiteral("TTL値(1～255)"), {104, 248, 89, 17});
    ttl = make_text_box(this, "Text7", QString(), {104, 264, 41, 25});
    exit_button = make_button(this, "Command1", QStringLiteral("終了(&E)"), {200, 224, 105, 49});

    text_ = {admin_address,    sender_address, smtp_server, sender_domain,
             interval_minutes, attempts,       ttl,         stop_after_notices};
    for (size_t k = 0; k + 1 < text_.size(); ++k)
        setTabOrder(text_[k], text_[k + 1]);
    setTabOrder(stop_after_notices, exit_button);

    for (int k = 0; k < 4; ++k) {
        QLineEdit* t = text_[k];
        text_guard_[k].emplace(boxes_, [t](const QString& s) {
            // a folded character keeps the cursor where the operator typed
            const bool folded = s.size() == t->text().size();
            const int cursor = t->cursorPosition();
            t->setText(s);
            if (folded)
                t->setCursorPosition(cursor);
        });
        connect(t, &QLineEdit::textChanged, this,
                [this, k](const QString& s) { text_guard_[k]->changed(s); });
    }
    for (int k = 0; k < 4; ++k) {
        QLineEdit* t = text_[kFirstNumberField + k];
        number_check_[k].emplace(boxes_, [t](const QString& s) { t->setText(s); });
        connect(t, &QLineEdit::textChanged, this, [this, k](const QString& s) {
            number_check_[k]->changed(s, number_setting(settings_, k));
        });
    }
    connect(exit_button, &QPushButton::clicked, this, &SettingsWindow::Command1_Click);

    fill_boxes();
}

void SettingsWindow::fill_boxes() {
    const SettingsFields values = settings_fields(settings_);
    for (int k = 0; k < 4; ++k)
        text_guard_[k]->fill(values[k]);
    // Each number runs its range check; one outside 1..255 is reported here.
    for (int k = kFirstNumberField; k < 8; ++k)
        text_[k]->setText(values[k]);
}

SettingsFields SettingsWindow::fields() const {
    SettingsFields f;
    for (size_t k = 0; k < f.size(); ++k)
        f[k] = text_[k]->text();
    return f;
}

void SettingsWindow::Form_QueryUnload() {
    close_settings(fields(), settings_, boxes_, conf_path_, events);
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    // When the program is ending, open windows go without asking (nothing is saved).
    if (!program_ending())
        Form_QueryUnload();
    event->accept(); // the close is never refused
}
