#include "targets/target_editor.h"

#include "core/target_list.h"
#include "targets/record_split.h"

FlagBox flag_box(int16 flag) {
    switch (flag) {
    case 1:
        return FlagBox::Ticked;
    case 2:
        return FlagBox::Greyed;
    default:
        return FlagBox::Clear;
    }
}

int16 flag_value(FlagBox box) {
    switch (box) {
    case FlagBox::Ticked:
        return 1;
    case FlagBox::Greyed:
        return 2;
    case FlagBox::Clear:
        break;
    }
    return 0;
}

QString delete_refusal_text() {
    return QStringLiteral("データは最低１つ必要です。") + QChar(u'\r') +
           QStringLiteral("これ以上削除できません。");
}

bool TargetEditor::has_record() const {
    return shown_index_ >= 0 && shown_index_ < targets_.count;
}

RecordBoxes TargetEditor::shown() const {
    RecordBoxes b;
    if (!has_record())
        return b;
    const Target& t = targets_.records[shown_index_];
    b.number = QString::number(add16(shown_index_, 1));
    b.octets = split_address(t.address);
    b.parts = split_description(t.description);
    b.flag = flag_box(t.flag);
    return b;
}

void TargetEditor::store_shown(const RecordBoxes& boxes) {
    if (!has_record())
        return;
    const QChar dot = u'.';
    const QChar sep = kDescriptionSeparator;
    Target& t = targets_.records[shown_index_];
    t.address =
        boxes.octets[0] + dot + boxes.octets[1] + dot + boxes.octets[2] + dot + boxes.octets[3];
    t.description = boxes.parts[0] + sep + boxes.parts[1] + sep + boxes.parts[2];
    t.flag = flag_value(boxes.flag);
}

bool TargetEditor::update_record(const RecordBoxes& boxes) {
    store_shown(boxes);
    return false;
}

bool TargetEditor::add_record(const RecordBoxes& boxes) {
    if (targets_.count > kEditorRecordLimit - 1)
        return false;
    store_shown(boxes); // nothing to store in an empty list
    targets_.count = add16(targets_.count, 1);
    shown_index_ = add16(targets_.count, -1);
    targets_.records[shown_index_] = {QStringLiteral("127.0.0.1"), QStringLiteral(" ／ ／ "), 0};
    return true;
}

bool TargetEditor::delete_record() {
    if (targets_.count <= 1)
        return false;
    for (int i = shown_index_; i <= targets_.count - 2; ++i)
        targets_.records[i] = targets_.records[i + 1];
    targets_.count = add16(targets_.count, -1);
    if (shown_index_ > 0)
        shown_index_ = add16(shown_index_, -1);
    return true;
}

bool TargetEditor::show_next(const RecordBoxes& boxes) {
    store_shown(boxes);
    if (shown_index_ < targets_.count - 1)
        shown_index_ = add16(shown_index_, 1);
    return true;
}

bool TargetEditor::show_previous(const RecordBoxes& boxes) {
    store_shown(boxes);
    if (shown_index_ > 0)
        shown_index_ = add16(shown_index_, -1);
    return true;
}

bool TargetEditor::show_record(int index) {
    if (index < 0 || index >= targets_.count)
        return false;
    shown_index_ = static_cast<int16>(index);
    return true;
}
