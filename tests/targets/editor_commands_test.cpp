// The record commands on the shared table, without a window.
#include <QStringList>
#include <gtest/gtest.h>

#include "core/shared_state.h"
#include "targets/target_editor.h"

namespace {

void fill(SharedState& s, int n) {
    for (int i = 0; i < n; ++i) {
        s.targets.records[i].address = QStringLiteral("10.0.0.%1").arg(i + 1);
        s.targets.records[i].description = QStringLiteral("D%1／C%1／P%1").arg(i + 1);
        s.targets.records[i].flag = 0;
    }
    s.targets.count = static_cast<int16>(n);
}

RecordBoxes edited() {
    RecordBoxes b;
    b.octets = {"192", "168", "7", "9"};
    b.parts = {"Edited", "555", "Me"};
    b.flag = FlagBox::Ticked;
    return b;
}

// Moves the editor to the given index with ↑, storing what it shows.
void go_to(TargetEditor& e, int index) {
    while (e.shown_index() < index)
        e.show_next(e.shown());
}

QStringList addresses(const SharedState& s) {
    QStringList out;
    for (int i = 0; i < s.targets.count; ++i)
        out << s.targets.records[i].address;
    return out;
}

} // namespace

TEST(EditorCommands, DeleteEachPlaceOfThree) {
    struct Case {
        int shown;
        QStringList left;
        int then_shown;
    };
    const Case cases[] = {{0, {"10.0.0.2", "10.0.0.3"}, 0},
                          {1, {"10.0.0.1", "10.0.0.3"}, 0},
                          {2, {"10.0.0.1", "10.0.0.2"}, 1}};
    for (const Case& c : cases) {
        SharedState s;
        fill(s, 3);
        TargetEditor e(s.targets);
        go_to(e, c.shown);
        EXPECT_TRUE(e.delete_record());
        EXPECT_EQ(s.targets.count, 2);
        EXPECT_EQ(addresses(s), c.left) << c.shown;
        EXPECT_EQ(e.shown_index(), c.then_shown);
        EXPECT_EQ(e.shown().number, QString::number(c.then_shown + 1));
        EXPECT_EQ(s.targets.records[1].description,
                  s.targets.records[1].address == "10.0.0.3" ? "D3／C3／P3" : "D2／C2／P2");
    }
    SharedState one;
    fill(one, 1);
    TargetEditor e(one.targets);
    EXPECT_FALSE(e.delete_record());
    EXPECT_EQ(one.targets.count, 1);
    EXPECT_EQ(one.targets.records[0].address, "10.0.0.1");
    EXPECT_EQ(delete_refusal_text(),
              QStringLiteral("データは最低１つ必要です。\rこれ以上削除できません。"));
}

TEST(EditorCommands, TheThousandthRecordIsTheLast) {
    SharedState s;
    fill(s, 999);
    TargetEditor below(s.targets);
    EXPECT_TRUE(below.add_record(below.shown()));
    EXPECT_EQ(s.targets.count, 1000);
    EXPECT_FALSE(below.add_record(below.shown()));
}

TEST(EditorCommands, StepsStoreAndStopAtTheEnds) {
    SharedState s;
    fill(s, 2);
    TargetEditor e(s.targets);
    EXPECT_TRUE(e.show_previous(e.shown()));
    EXPECT_EQ(e.shown_index(), 0);
    e.show_next(e.shown());
    RecordBoxes b = edited();
    b.parts = {"x／y", "z", "w"}; // a typed separator shifts the parts once shown again
    EXPECT_TRUE(e.show_next(b));
    EXPECT_EQ(e.shown_index(), 1);
    EXPECT_EQ(s.targets.records[1].address, "192.168.7.9");
    EXPECT_EQ(s.targets.records[1].description, "x／y／z／w");
    EXPECT_EQ(e.shown().parts, (std::array<QString, 3>{"x", "y", "z／w"}));
    EXPECT_EQ(e.shown().flag, FlagBox::Ticked);
}

TEST(EditorCommands, UpdateStoresAsTypedWithoutChecks) {
    SharedState s;
    fill(s, 1);
    TargetEditor e(s.targets);
    RecordBoxes b;
    b.octets = {" 10", "", "x", "4"};
    b.parts = {"", "", ""};
    EXPECT_FALSE(e.update_record(b));
    EXPECT_EQ(s.targets.records[0].address, " 10..x.4");
    EXPECT_EQ(s.targets.records[0].description, "／／");
    EXPECT_EQ(s.targets.records[0].flag, 0);
}

TEST(EditorCommands, FlagsOutsideTheBoxShowAsMonitored) {
    EXPECT_EQ(flag_box(0), FlagBox::Clear);
    EXPECT_EQ(flag_box(1), FlagBox::Ticked);
    EXPECT_EQ(flag_box(2), FlagBox::Greyed);
    EXPECT_EQ(flag_box(5), FlagBox::Clear);
    EXPECT_EQ(flag_box(-1), FlagBox::Clear);
    EXPECT_EQ(flag_value(FlagBox::Greyed), 2); // a stored 2 goes back as 2
}
