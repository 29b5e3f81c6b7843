// The record commands on the shared table, without a window.
#include <QStringList>
#include <gtest/gtest.h>

#include "core/shared_state.h"
#include "targets/target_editor.h"

namespace {

void fill(SharedState& s, int n) {
    for (int i = 0; i < n; ++i) {
        s.ip_add[i] = QStringLiteral("10.0.0.%1").arg(i + 1);
        s.mess[i] = QStringLiteral("D%1／C%1／P%1").arg(i + 1);
        s.valid_flag[i] = 0;
    }
    s.dat_count = static_cast<int16>(n);
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
    while (e.view_cnt() < index)
        e.up_Click(e.shown());
}

QStringList addresses(const SharedState& s) {
    QStringList out;
    for (int i = 0; i < s.dat_count; ++i)
        out << s.ip_add[i];
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
        TargetEditor e(s);
        go_to(e, c.shown);
        EXPECT_TRUE(e.del_Click());
        EXPECT_EQ(s.dat_count, 2);
        EXPECT_EQ(addresses(s), c.left) << c.shown;
        EXPECT_EQ(e.view_cnt(), c.then_shown);
        EXPECT_EQ(e.shown().number, QString::number(c.then_shown + 1));
        EXPECT_EQ(s.mess[1], s.ip_add[1] == "10.0.0.3" ? "D3／C3／P3" : "D2／C2／P2");
    }
    SharedState one;
    fill(one, 1);
    TargetEditor e(one);
    EXPECT_FALSE(e.del_Click());
    EXPECT_EQ(one.dat_count, 1);
    EXPECT_EQ(one.ip_add[0], "10.0.0.1");
    EXPECT_EQ(del_refusal_text(),
              QStringLiteral("データは最低１つ必要です。\rこれ以上削除できません。"));
}

TEST(EditorCommands, TheThousandthRecordIsTheLast) {
    SharedState s;
    fill(s, 999);
    TargetEditor below(s);
    EXPECT_TRUE(below.new_Click(below.shown()));
    EXPECT_EQ(s.dat_count, 1000);
    EXPECT_FALSE(below.new_Click(below.shown()));
}

TEST(EditorCommands, StepsStoreAndStopAtTheEnds) {
    SharedState s;
    fill(s, 2);
    TargetEditor e(s);
    EXPECT_TRUE(e.down_Click(e.shown()));
    EXPECT_EQ(e.view_cnt(), 0);
    e.up_Click(e.shown());
    RecordBoxes b = edited();
    b.parts = {"x／y", "z", "w"}; // a typed separator shifts the parts once shown again
    EXPECT_TRUE(e.up_Click(b));
    EXPECT_EQ(e.view_cnt(), 1);
    EXPECT_EQ(s.ip_add[1], "192.168.7.9");
    EXPECT_EQ(s.mess[1], "x／y／z／w");
    EXPECT_EQ(e.shown().parts, (std::array<QString, 3>{"x", "y", "z／w"}));
    EXPECT_EQ(e.shown().flag, FlagBox::Ticked);
}

TEST(EditorCommands, UpdateStoresAsTypedWithoutChecks) {
    SharedState s;
    fill(s, 1);
    TargetEditor e(s);
    RecordBoxes b;
    b.octets = {" 10", "", "x", "4"};
    b.parts = {"", "", ""};
    EXPECT_FALSE(e.Command1_Click(b));
    EXPECT_EQ(s.ip_add[0], " 10..x.4");
    EXPECT_EQ(s.mess[0], "／／");
    EXPECT_EQ(s.valid_flag[0], 0);
}

TEST(EditorCommands, FlagsOutsideTheBoxShowAsMonitored) {
    EXPECT_EQ(flag_box(0), FlagBox::Clear);
    EXPECT_EQ(flag_box(1), FlagBox::Ticked);
    EXPECT_EQ(flag_box(2), FlagBox::Greyed);
    EXPECT_EQ(flag_box(5), FlagBox::Clear);
    EXPECT_EQ(flag_box(-1), FlagBox::Clear);
    EXPECT_EQ(flag_value(FlagBox::Greyed), 2); // a stored 2 goes back as 2
}
