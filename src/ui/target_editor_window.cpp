#include "ui/target_editor_window.h"

#include <QCloseEvent>
#include <QTimer>

#include "core/app_title.h"
#include "core/cp932.h"
#include "core/message_box.h"
#include "settings/added_text.h"
#include "settings/typed_input.h"
#include "targets/editor_close.h"
#include "targets/octet_check.h"
#include "targets/target_file.h"
#include "ui/controls.h"
#include "ui/frame_style.h"
#include "ui/program_end.h"
#include "ui/twips.h"

namespace {

// Places are given from the window's client corner; a control inside a frame
// is placed relative to that frame, whose own corner is `origin`.
QRect place(QPoint origin, int left, int top, int width, int height) {
    return twips_rect(left, top, width, height).translated(-origin);
}

// The dots between the octet boxes are smaller than a line of text: keep the
// dot itself, which sits on the baseline, in view.
QLabel* dot(QWidget* parent, const char* name, QRect where) {
    QLabel* l = make_label(parent, name, QStringLiteral("．"), where);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return l;
}

} // namespace

TargetEditorWindow::TargetEditorWindow(TargetList& targets, MonitorState& monitor,
                                       MessageBoxes& boxes, const QString& targets_path)
    : targets_(targets), monitor_(monitor), boxes_(boxes), path_(targets_path), editor_(targets) {
    setObjectName(QStringLiteral("kansi"));
    setWindowTitle(QStringLiteral("監視設定"));
    setFixedSize(twips(7410), twips(2910));
    build();
    wire();

    // Form_Load: record 1 replaces the boxes' first texts at once. A stored
    // octet that fails its check is reported once the window stands, not
    // while it is still being made.
    view(false);
    opening_report_due_ = editor_.has_record();
    if (opening_report_due_)
        QTimer::singleShot(0, this, [this] {
            opening_report_due_ = false;
            report_stored_fault();
        });
    address_octet1->setFocus();
}

void TargetEditorWindow::build() {
    const QPoint window(0, 0);
    number_caption =
        make_label(this, "Label1", QStringLiteral("監視通番："), place(window, 120, 120, 855, 255));
    record_number = make_label(this, "Label2", QString(), place(window, 960, 120, 855, 255));
    next_button = make_button(this, "up", QStringLiteral("↑"), place(window, 1920, 120, 495, 300));
    previous_button =
        make_button(this, "down", QStringLiteral("↓"), place(window, 2520, 120, 495, 300));
    new_button =
        make_button(this, "new", QStringLiteral("新規(&N)"), place(window, 3360, 120, 975, 375));
    delete_button =
        make_button(this, "del", QStringLiteral("削除(&D)"), place(window, 4440, 120, 975, 375));
    exit_button =
        make_button(this, "end", QStringLiteral("終了(&E)"), place(window, 6360, 120, 975, 495));

    fields_frame = named_control(new QGroupBox(QStringLiteral("項目"), this), "Frame1",
                                 place(window, 0, 600, 7335, 2295));
    const QPoint f1 = twips_rect(0, 600, 0, 0).topLeft();
    address_caption = make_label(fields_frame, "Label9", QStringLiteral("IPアドレス："),
                                 place(f1, 240, 840, 975, 255));
    address_dot1 = dot(fields_frame, "Label6", place(f1, 2280, 960, 255, 135));
    address_dot2 = dot(fields_frame, "Label7", place(f1, 3480, 960, 255, 135));
    address_dot3 = dot(fields_frame, "Label8", place(f1, 4680, 960, 255, 135));
    device_name_caption = make_label(fields_frame, "Label3", QStringLiteral("機器名称："),
                                     place(f1, 240, 1200, 975, 255));
    contact_caption = make_label(fields_frame, "Label4", QStringLiteral("連絡先番号："),
                                 place(f1, 120, 1680, 1095, 255));
    person_caption = make_label(fields_frame, "Label5", QStringLiteral("管理担当者："),
                                place(f1, 120, 2160, 1095, 255));
    update_button = make_button(fields_frame, "Command1", QStringLiteral("更新(&U)"),
                                place(f1, 5040, 2160, 975, 375));
    cancel_note =
        make_label(fields_frame, "Label10",
                   QStringLiteral("「更新」しないで「終了」すると、表示されている項目に対しての"
                                  "変更はキャンセルになります"),
                   place(f1, 6120, 1440, 1095, 1335));
    cancel_note->setWordWrap(true);
    cancel_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont note = cancel_note->font();
    note.setPixelSize(9); // the note has to fit its narrow column
    cancel_note->setFont(note);

    enabled_frame = named_control(new QGroupBox(QStringLiteral("有効/無効"), fields_frame),
                                  "Frame2", place(f1, 6120, 720, 1095, 615));
    const QPoint f2 = twips_rect(6120, 720, 0, 0).topLeft();
    // Only the box itself shows; its caption is cut off by its width.
    disabled_box = named_control(new QCheckBox(QStringLiteral("Check1"), enabled_frame), "Check1",
                                 place(f2, 6240, 960, 255, 180));
    disabled_caption = make_label(enabled_frame, "Label11", QStringLiteral("無効"),
                                  place(f2, 6600, 960, 375, 255));
    FrameStyle* frames = new FrameStyle(this);
    for (QWidget* w : {static_cast<QWidget*>(fields_frame), static_cast<QWidget*>(enabled_frame),
                       static_cast<QWidget*>(disabled_box)})
        w->setStyle(frames);

    // The text boxes lie on the window, over the frame.
    address_octet1 =
        make_text_box(this, "Text1", QStringLiteral("127"), place(window, 1320, 840, 975, 270));
    address_octet2 =
        make_text_box(this, "Text2", QStringLiteral("0"), place(window, 2520, 840, 975, 270));
    address_octet3 =
        make_text_box(this, "Text3", QStringLiteral("0"), place(window, 3720, 840, 975, 270));
    address_octet4 =
        make_text_box(this, "Text4", QStringLiteral("1"), place(window, 4920, 840, 975, 270));
    device_name = make_text_box(this, "Text5", QString(), place(window, 1320, 1200, 4695, 375));
    contact_number = make_text_box(this, "Text6", QString(), place(window, 1320, 1680, 4695, 375));
    person_in_charge =
        make_text_box(this, "Text7", QString(), place(window, 1320, 2160, 3615, 375));
    octets_ = {address_octet1, address_octet2, address_octet3, address_octet4};
    parts_ = {device_name, contact_number, person_in_charge};

    QWidget* order[] = {address_octet1, address_octet2, address_octet3,   address_octet4,
                        device_name,    contact_number, person_in_charge, delete_button,
                        exit_button,    next_button,    previous_button,  new_button,
                        update_button,  disabled_box};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TargetEditorWindow::wire() {
    for (int i = 0; i < kOctetBoxes; ++i)
        connect(octets_[i], &QLineEdit::textChanged, this, [this, i] { octet_changed(i); });
    for (int i = 0; i < 3; ++i)
        connect(parts_[i], &QLineEdit::textChanged, this, [this, i] { description_changed(i); });
    // A greyed box (a stored 2) is the record's own state; once the operator
    // clicks it, it is an ordinary two-state box again.
    connect(disabled_box, &QCheckBox::stateChanged, this, [this](int s) {
        if (s != Qt::PartiallyChecked && disabled_box->isTristate())
            disabled_box->setTristate(false);
    });
    connect(update_button, &QPushButton::clicked, this, &TargetEditorWindow::Command1_Click);
    connect(new_button, &QPushButton::clicked, this, &TargetEditorWindow::new_Click);
    connect(delete_button, &QPushButton::clicked, this, &TargetEditorWindow::del_Click);
    connect(next_button, &QPushButton::clicked, this, &TargetEditorWindow::up_Click);
    connect(previous_button, &QPushButton::clicked, this, &TargetEditorWindow::down_Click);
    connect(exit_button, &QPushButton::clicked, this, &TargetEditorWindow::end_Click);
}

void TargetEditorWindow::view(bool report) {
    const RecordBoxes r = editor_.shown();
    filling_ = true;
    record_number->setText(r.number);
    for (int i = 0; i < kOctetBoxes; ++i)
        octets_[i]->setText(r.octets[i]);
    for (int i = 0; i < 3; ++i)
        parts_[i]->setText(r.parts[i]);
    disabled_box->setTristate(r.flag == FlagBox::Greyed);
    disabled_box->setCheckState(r.flag == FlagBox::Ticked   ? Qt::Checked
                                : r.flag == FlagBox::Greyed ? Qt::PartiallyChecked
                                                            : Qt::Unchecked);
    filling_ = false;
    accepted_parts_ = r.parts;
    update_enabled();
    if (report)
        report_stored_fault();
}

void TargetEditorWindow::report_stored_fault() {
    if (!editor_.has_record())
        return;
    for (int i = 0; i < kOctetBoxes; ++i) {
        if (!octet_ok(i, octets_[i]->text())) {
            boxes_.ok(octet_message(i), app_title());
            return;
        }
    }
}

void TargetEditorWindow::update_enabled() {
    const bool record = editor_.has_record();
    for (QLineEdit* t : octets_)
        t->setEnabled(record);
    for (QLineEdit* t : parts_)
        t->setEnabled(record);
    for (QWidget* w : {static_cast<QWidget*>(disabled_box), static_cast<QWidget*>(update_button),
                       static_cast<QWidget*>(delete_button), static_cast<QWidget*>(next_button),
                       static_cast<QWidget*>(previous_button)})
        w->setEnabled(record);
}

RecordBoxes TargetEditorWindow::boxes_now() const {
    RecordBoxes b;
    for (int i = 0; i < kOctetBoxes; ++i)
        b.octets[i] = octets_[i]->text();
    for (int i = 0; i < 3; ++i)
        b.parts[i] = parts_[i]->text();
    switch (disabled_box->checkState()) {
    case Qt::Checked:
        b.flag = FlagBox::Ticked;
        break;
    case Qt::PartiallyChecked:
        b.flag = FlagBox::Greyed;
        break;
    case Qt::Unchecked:
        b.flag = FlagBox::Clear;
        break;
    }
    return b;
}

void TargetEditorWindow::octet_changed(int box) {
    if (filling_ || !editor_.has_record())
        return;
    if (octet_ok(box, octets_[box]->text()))
        return;
    boxes_.ok(octet_message(box), app_title());
    // Every edit not yet stored goes, in all boxes; the stored record is
    // shown as it is, without a second message about it.
    view(false);
}

void TargetEditorWindow::description_changed(int box) {
    if (filling_)
        return;
    QLineEdit* part = parts_[box];
    const QString kept = cp932_fold_typed(part->text());
    // Only what the edit added is judged: a quote a hand edit left in the
    // record must stay deletable, or the list could never be saved again.
    const std::optional<QString> refusal =
        file_text_refusal(added_text(accepted_parts_[box], kept), target_file_name());
    if (!refusal) {
        accepted_parts_[box] = kept;
        if (kept != part->text()) { // show it as it will read back
            const int cursor = part->cursorPosition();
            filling_ = true;
            part->setText(kept);
            part->setCursorPosition(cursor);
            filling_ = false;
        }
        return;
    }
    boxes_.ok(*refusal, app_title());
    filling_ = true;
    parts_[box]->setText(accepted_parts_[box]);
    filling_ = false;
}

void TargetEditorWindow::Command1_Click() {
    if (editor_.update_record(boxes_now()))
        view();
}

void TargetEditorWindow::new_Click() {
    if (editor_.add_record(boxes_now()))
        view();
}

void TargetEditorWindow::del_Click() {
    if (editor_.delete_record())
        view();
    else
        boxes_.ok(delete_refusal_text(), app_title());
}

void TargetEditorWindow::show_record(int index) {
    // Shown right after opening, the record is reported by the opening report.
    if (editor_.show_record(index))
        view(!opening_report_due_);
}

void TargetEditorWindow::up_Click() {
    if (editor_.show_next(boxes_now()))
        view();
}

void TargetEditorWindow::down_Click() {
    if (editor_.show_previous(boxes_now()))
        view();
}

void TargetEditorWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->ignore(); // a second close while the save question is up
        return;
    }
    if (!program_ending()) {
        closing_ = true;
        close_target_editor(targets_, monitor_, boxes_, path_, events);
        closing_ = false;
    }
    event->accept();
}
