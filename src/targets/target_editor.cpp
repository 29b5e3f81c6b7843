#include "targets/target_editor.h"

#include "core/shared_state.h"
#include "targets/record_split.h"

FlagBox flag_box(int16 valid_flag) {
    switch (valid_flag) {
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

QString del_refusal_text() {
    return QStringLiteral("データは最低１つ必要です。") + QChar(u'\r') +
           QStringLiteral("これ以上削除できません。");
}

bool TargetEditor::has_record() const {
    return view_cnt_ >= 0 && view_cnt_ < state_.dat_count;
}

RecordBoxes TargetEditor::shown() const {
    RecordBoxes b;
    if (!has_record())
        return b;
    b.number = QString::number(add16(view_cnt_, 1));
    b.octets = split_address(state_.ip_add[view_cnt_]);
    b.parts = split_description(state_.mess[view_cnt_]);
    b.flag = flag_box(state_.valid_flag[view_cnt_]);
    return b;
}

void TargetEditor::store_view(const RecordBoxes& boxes) {
    if (!has_record())
        return;
    const QChar dot = u'.';
    const QChar sep = kDescriptionSeparator;
    state_.ip_add[view_cnt_] =
        boxes.octets[0] + dot + boxes.octets[1] + dot + boxes.octets[2] + dot + boxes.octets[3];
    state_.mess[view_cnt_] = boxes.parts[0] + sep + boxes.parts[1] + sep + boxes.parts[2];
    state_.valid_flag[view_cnt_] = flag_value(boxes.flag);
}

bool TargetEditor::Command1_Click(const RecordBoxes& boxes) {
    store_view(boxes);
    return false;
}

bool TargetEditor::new_Click(const RecordBoxes& boxes) {
    if (state_.dat_count > kEditorRecordLimit - 1)
        return false;
    store_view(boxes); // nothing to store in an empty list
    state_.dat_count = add16(state_.dat_count, 1);
    view_cnt_ = add16(state_.dat_count, -1);
    state_.ip_add[view_cnt_] = QStringLiteral("127.0.0.1");
    state_.mess[view_cnt_] = QStringLiteral(" ／ ／ ");
    state_.valid_flag[view_cnt_] = 0;
    return true;
}

bool TargetEditor::del_Click() {
    if (state_.dat_count <= 1)
        return false;
    for (int i = view_cnt_; i <= state_.dat_count - 2; ++i) {
        state_.ip_add[i] = state_.ip_add[i + 1];
        state_.mess[i] = state_.mess[i + 1];
        state_.valid_flag[i] = state_.valid_flag[i + 1];
    }
    state_.dat_count = add16(state_.dat_count, -1);
    if (view_cnt_ > 0)
        view_cnt_ = add16(view_cnt_, -1);
    return true;
}

bool TargetEditor::up_Click(const RecordBoxes& boxes) {
    store_view(boxes);
    if (view_cnt_ < state_.dat_count - 1)
        view_cnt_ = add16(view_cnt_, 1);
    return true;
}

bool TargetEditor::down_Click(const RecordBoxes& boxes) {
    store_view(boxes);
    if (view_cnt_ > 0)
        view_cnt_ = add16(view_cnt_, -1);
    return true;
}
