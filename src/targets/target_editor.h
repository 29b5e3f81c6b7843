#pragma once
// The target editor's record commands, without a screen. They work on the
// shared target table at once (a sweep that runs while the editor is open
// sees every stored change) and on the index of the record shown, view_cnt.
// The window hands in what its boxes hold and shows what shown() returns.
#include <QString>
#include <array>

#include "core/int16.h"

struct SharedState;

// Check1: ticked for 1 (not monitored), greyed for a stored 2, clear for
// anything else, which the sweep monitors just as it does 0.
enum class FlagBox { Clear, Ticked, Greyed };
FlagBox flag_box(int16 valid_flag);
int16 flag_value(FlagBox box);

// What the editor's boxes hold.
struct RecordBoxes {
    std::array<QString, 4> octets; // Text1..Text4
    std::array<QString, 3> parts;  // Text5..Text7
    FlagBox flag = FlagBox::Clear; // Check1
    QString number;                // Label2: view_cnt + 1, empty when there is no record
};

inline constexpr int kEditorRecordLimit = 1000;

// "データは最低１つ必要です。" CR "これ以上削除できません。"
QString del_refusal_text();

class TargetEditor {
  public:
    // Form_Load: the first record.
    explicit TargetEditor(SharedState& state) : state_(state) {}

    int16 view_cnt() const { return view_cnt_; }
    // False for an empty list: then only a new record can be made.
    bool has_record() const;

    // What view shows for the current record (all empty without one).
    RecordBoxes shown() const;

    // Stores the boxes into the record shown: octets joined by ".", parts
    // by "／", as they stand.
    void store_view(const RecordBoxes& boxes);

    // The commands. Each returns whether the window must call view.
    bool Command1_Click(const RecordBoxes& boxes); // never: the boxes stay as typed
    bool new_Click(const RecordBoxes& boxes);      // false at the limit: nothing changes
    bool del_Click();                              // false when refused (last record)
    bool up_Click(const RecordBoxes& boxes);
    bool down_Click(const RecordBoxes& boxes);

  private:
    SharedState& state_;
    int16 view_cnt_ = 0;
};
