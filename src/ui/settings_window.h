#pragma once
// The settings window "kankyo": four text fields, four number fields and the
// exit button. Modeless, without an owner. The checks and the close step live
// in settings/; the window only holds the controls and wires them up.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <optional>

#include "settings/number_field.h"
#include "settings/settings_form.h"
#include "settings/text_field.h"

struct Settings;
class MessageBoxes;
class MonitorEvents;

class SettingsWindow : public QWidget {
    Q_OBJECT
  public:
    // conf_path: where a confirmed close writes the settings.
    SettingsWindow(Settings& settings, MessageBoxes& boxes, QString conf_path);

    void Command1_Click() { close(); }

    // Told when the file is saved; nothing when not set.
    MonitorEvents* events = nullptr;

    QLabel* admin_address_caption;
    QLineEdit* admin_address;
    QLabel* sender_address_caption;
    QLineEdit* sender_address;
    QLabel* smtp_server_caption;
    QLineEdit* smtp_server;
    QLabel* sender_domain_caption;
    QLineEdit* sender_domain;
    QLabel* interval_caption;
    QLineEdit* interval_minutes;
    QLabel* attempts_caption;
    QLineEdit* attempts;
    QLabel* stop_after_notices_caption;
    QLineEdit* stop_after_notices;
    QLabel* ttl_caption;
    QLineEdit* ttl;
    QPushButton* exit_button;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void fill_boxes();
    void Form_QueryUnload();
    SettingsFields fields() const;

    Settings& settings_;
    MessageBoxes& boxes_;
    QString conf_path_;
    std::array<QLineEdit*, 8> text_{};
    std::array<std::optional<TextFieldGuard>, 4> text_guard_;
    std::array<std::optional<NumberFieldCheck>, 4> number_check_;
};
