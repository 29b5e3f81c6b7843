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

    QLabel* Label1;
    QLabel* Label2;
    QPushButton* up;
    QPushButton* down;
    QPushButton* new_; // objectName "new"
    QPushButton* del;
    QPushButton* end;
    QGroupBox* Frame1;
    QLabel* Label9;
    QLineEdit* Text1;
    QLabel* Label6;
    QLineEdit* Text2;
    QLabel* Label7;
    QLineEdit* Text3;
    QLabel* Label8;
    QLineEdit* Text4;
    QLabel* Label3;
    QLineEdit* Text5;
    QLabel* Label4;
    QLineEdit* Text6;
    QLabel* Label5;
    QLineEdit* Text7;
    QPushButton* Command1;
    QGroupBox* Frame2;
    QCheckBox* Check1;
    QLabel* Label11;
    QLabel* Label10;

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

    void octet_changed(int box);       // Text1_Change .. Text4_Change
    void description_changed(int box); // Text5 .. Text7

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
