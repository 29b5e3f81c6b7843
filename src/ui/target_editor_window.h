#pragma once
// The target editor "監視設定" (kansi): one record of the target list at a time
// in seven boxes and a check box, the record commands, and the save question
// on closing. The commands and the close step live in targets/; this window
// only shows, reads its boxes and forwards.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "targets/target_editor.h"

struct TargetList;
class MonitorState;
class MessageBoxes;
class MonitorEvents;

class TargetEditorWindow : public QWidget {
    Q_OBJECT
  public:
    // targets_path: kanshi.ini, written on a confirmed close and read back on
    // every close. monitor: announces the count when the editor closes.
    TargetEditorWindow(TargetList& targets, MonitorState& monitor, MessageBoxes& boxes,
                       const QString& targets_path);

    int16 shown_index() const { return editor_.shown_index(); }
    // Shows record index (from 0) as stored, storing no boxes on the way.
    void show_record(int index);

    // Told when the file is saved; nothing when not set.
    MonitorEvents* events = nullptr;

    // The handlers of the buttons.
    void Command1_Click();
    void new_Click();
    void del_Click();
    void up_Click();
    void down_Click();
    void end_Click() { close(); }

    QLabel* number_caption;
    QLabel* record_number;
    QPushButton* next_button;
    QPushButton* previous_button;
    QPushButton* new_button; // objectName "new"
    QPushButton* delete_button;
    QPushButton* exit_button;
    QGroupBox* fields_frame;
    QLabel* address_caption;
    QLineEdit* address_octet1;
    QLabel* address_dot1;
    QLineEdit* address_octet2;
    QLabel* address_dot2;
    QLineEdit* address_octet3;
    QLabel* address_dot3;
    QLineEdit* address_octet4;
    QLabel* device_name_caption;
    QLineEdit* device_name;
    QLabel* contact_caption;
    QLineEdit* contact_number;
    QLabel* person_caption;
    QLineEdit* person_in_charge;
    QPushButton* update_button;
    QGroupBox* enabled_frame;
    QCheckBox* disabled_box;
    QLabel* disabled_caption;
    QLabel* cancel_note;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void build();
    void wire();

    // Shows the current record. With report, a stored octet that fails its
    // check is reported once; the boxes already show the stored record, so
    // there is nothing to undo.
    void view(bool report = true);
    void report_stored_fault();
    void update_enabled();
    RecordBoxes boxes_now() const;

    void octet_changed(int box);       // an octet box edited
    void description_changed(int box); // a part of the description edited

    TargetList& targets_;
    MonitorState& monitor_;
    MessageBoxes& boxes_;
    QString path_;
    TargetEditor editor_;

    std::array<QLineEdit*, 4> octets_{};
    std::array<QLineEdit*, 3> parts_{};
    std::array<QString, 3> accepted_parts_; // what a refused edit returns to
    bool filling_ = false;                  // view or an undo is setting the boxes
    bool closing_ = false;                  // the save question is up
    bool opening_report_due_ = false;       // the first record's report is still to come
};
