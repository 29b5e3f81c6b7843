#pragma once
// The target editor's record commands, without a screen. They work on the
// target list at once (a check that runs while the editor is open sees every
// stored change) and on the index of the record shown. The window hands in
// what its boxes hold and shows what shown() returns.
#include <QString>
#include <array>

#include "core/int16.h"

struct TargetList;

// The 無効 box: ticked for 1 (not monitored), greyed for a stored 2, clear
// for anything else, which the check monitors just as it does 0.
enum class FlagBox { Clear, Ticked, Greyed };
FlagBox flag_box(int16 flag);
int16 flag_value(FlagBox box);

// What the editor's boxes hold.
struct RecordBoxes {
    std::array<QString, 4> octets; // the four octet boxes
    std::array<QString, 3> parts;  // device name, contact number, person in charge
    FlagBox flag = FlagBox::Clear; // the 無効 box
    QString number;                // shown index + 1, empty when there is no record
};

inline constexpr int kEditorRecordLimit = 1000;

// "データは最低１つ必要です。" CR "これ以上削除できません。"
QString delete_refusal_text();

class TargetEditor {
  public:
    // The editor opens on the first record.
    explicit TargetEditor(TargetList& targets) : targets_(targets) {}

    int16 shown_index() const { return shown_index_; }
    // False for an empty list: then only a new record can be made.
    bool has_record() const;

    // What the boxes show for the current record (all empty without one).
    RecordBoxes shown() const;

    // Stores the boxes into the record shown: octets joined by ".", parts
    // by "／", as they stand.
    void store_shown(const RecordBoxes& boxes);

    // The commands. Each returns whether the window must show the record anew.
    bool update_record(const RecordBoxes& boxes); // never: the boxes stay as typed
    bool add_record(const RecordBoxes& boxes);    // false at the limit: nothing changes
    bool delete_record();                         // false when refused (last record)
    bool show_next(const RecordBoxes& boxes);     // ↑
    bool show_previous(const RecordBoxes& boxes); // ↓
    // Record index as it is stored, nothing stored on the way; false (and the
    // same record shown) for an index outside the list.
    bool show_record(int index);

  private:
    TargetList& targets_;
    int16 shown_index_ = 0;
};
