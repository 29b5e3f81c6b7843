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

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QLabel* Label3;
    QLineEdit* Text3;
    QLabel* Label4;
    QLineEdit* Text4;
    QLabel* Label5;
    QLineEdit* Text5;
    QLabel* Label6;
    QLineEdit* Text6;
    QLabel* Label8;
    QLineEdit* Text8;
    QLabel* Label7;
    QLineEdit* Text7;
    QPushButton* Command1;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void Form_QueryUnload();
    SettingsFields fields() const;

    Settings& settings_;
    MessageBoxes& boxes_;
    QString conf_path_;
    std::array<QLineEdit*, 8> text_{};
    std::array<std::optional<TextFieldGuard>, 4> text_guard_;
    std::array<std::optional<NumberFieldCheck>, 4> number_check_;
};
