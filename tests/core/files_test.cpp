// conf.ini and kanshi.ini on disk: layouts byte for byte, limits, safe saving.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <sys/stat.h>

#include "core/cp932.h"
#include "core/file_error.h"
#include "core/shared_state.h"
#include "settings/conf_file.h"
#include "support/work_dir.h"
#include "targets/target_file.h"

namespace {

const QByteArray
    kRouter39("\x31\x39\x32\x2E\x31\x36\x38\x2E\x31\x2E\x31\x0D\x0A\x52\x6F\x75\x74\x65"
              "\x72\x81\x5E\x30\x30\x30\x30\x81\x5E\x41\x64\x6D\x69\x6E\x0D\x0A\x20\x30"
              "\x20\x0D\x0A",
              39);

QByteArray records(int n) {
    QByteArray out;
    for (int i = 0; i < n; ++i)
        out += "10.0." + QByteArray::number(i / 256) + "." + QByteArray::number(i % 256) +
               "\r\nDev" + QByteArray::number(i) +
               "\x81\x5e"
               "1\x81\x5e"
               "x\r\n 0 \r\n";
    return out;
}

} // namespace

TEST(TargetFile, TheRouterExampleRoundTripsByteForByte) {
    TempWorkDir dir;
    dir.write("kanshi.ini", kRouter39);
    SharedState s;
    load_target_list(s.targets, dir.path("kanshi.ini"));
    ASSERT_EQ(s.targets.count, 1);
    EXPECT_EQ(s.targets.records[0].address, "192.168.1.1");
    EXPECT_EQ(s.targets.records[0].description, QStringLiteral("Router／0000／Admin"));
    EXPECT_EQ(s.targets.records[0].flag, 0);
    save_target_list(s.targets, dir.path("out.ini"));
    EXPECT_EQ(dir.read("out.ini"), kRouter39);
}

TEST(TargetFile, EmptyFileAndTheLimitOf1001Records) {
    TempWorkDir dir;
    SharedState s;
    s.targets.count = 7;
    dir.write("kanshi.ini", "");
    load_target_list(s.targets, dir.path("kanshi.ini"));
    EXPECT_EQ(s.targets.count, 0);

    dir.write("kanshi.ini", records(1001));
    load_target_list(s.targets, dir.path("kanshi.ini"));
    EXPECT_EQ(s.targets.count, 1001);
    EXPECT_EQ(s.targets.records[1000].address, "10.0.3.232");

    dir.write("kanshi.ini", records(1002));
    try {
        load_target_list(s.targets, dir.path("kanshi.ini"));
        FAIL() << "a 1002nd record must fail";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.text.contains(QStringLiteral("3004 行目"))) << e.text.toStdString();
    }
    EXPECT_EQ(s.targets.count, 1001); // a failed load leaves the table alone
}

TEST(TargetFile, ShortRecordsAndATrailingEmptyLineFail) {
    TempWorkDir dir;
    SharedState s;
    for (const QByteArray& bad :
         {records(2) + "\r\n", records(1) + "10.0.0.9\r\nX\r\n", QByteArray("a")}) {
        dir.write("kanshi.ini", bad);
        EXPECT_THROW(load_target_list(s.targets, dir.path("kanshi.ini")), FileError);
    }
    EXPECT_THROW(load_target_list(s.targets, dir.path("missing.ini")), FileError);
}

TEST(TargetFile, DescriptionWithACommaSurvivesSaveAndLoad) {
    TempWorkDir dir;
    SharedState s;
    s.targets.count = 2;
    s.targets.records[0].address = "10.0.0.1";
    s.targets.records[0].description = QStringLiteral("Core, rack 2／0000／Admin");
    s.targets.records[0].flag = 1;
    s.targets.records[1].address = "10.0.0.2";
    s.targets.records[1].description = QStringLiteral("Edge／1111／Ops");
    s.targets.records[2].address = "stale"; // not part of the list
    save_target_list(s.targets, dir.path("kanshi.ini"));
    SharedState back;
    load_target_list(back.targets, dir.path("kanshi.ini"));
    ASSERT_EQ(back.targets.count, 2);
    EXPECT_EQ(back.targets.records[0].description, s.targets.records[0].description);
    EXPECT_EQ(back.targets.records[0].flag, 1);
    EXPECT_EQ(back.targets.records[1].address, "10.0.0.2");
    EXPECT_FALSE(dir.read("kanshi.ini").contains("stale"));
}

TEST(ConfFile, ReadsEightValuesAndWritesTheCanonicalLayout) {
    TempWorkDir dir;
    // numbers without blanks, a quoted text, extra lines after the eighth
    dir.write("conf.ini",
              "to@x\r\n\"from@x\" \r\nsmtp.x:587\r\n\r\n5\r\n3\r\n-1\r\nword\r\nextra\r\n");
    SharedState s;
    load_settings(s.settings, dir.path("conf.ini"));
    EXPECT_EQ(s.settings.admin_address, "to@x");
    EXPECT_EQ(s.settings.sender_address, "from@x");
    EXPECT_EQ(s.settings.smtp_server, "smtp.x:587");
    EXPECT_EQ(s.settings.sender_domain, "");
    EXPECT_EQ(s.settings.interval_minutes, 5);
    EXPECT_EQ(s.settings.attempts, 3);
    EXPECT_EQ(s.settings.ttl, -1);
    EXPECT_EQ(s.settings.stop_after_notices, 0);
    save_settings(s.settings, dir.path("conf.ini"));
    EXPECT_EQ(dir.read("conf.ini"),
              QByteArray("to@x\r\nfrom@x\r\nsmtp.x:587\r\n\r\n 5 \r\n 3 \r\n-1 \r\n 0 \r\n"));
}

TEST(ConfFile, SevenValuesOrA17BitNumberFailAndChangeNothing) {
    TempWorkDir dir;
    SharedState s;
    s.settings.admin_address = "before";
    dir.write("conf.ini", "a\r\nb\r\nc\r\nd\r\n 5 \r\n 3 \r\n 64 \r\n");
    EXPECT_THROW(load_settings(s.settings, dir.path("conf.ini")), FileError);
    dir.write("conf.ini", "a\r\nb\r\nc\r\nd\r\n 40000 \r\n 3 \r\n 64 \r\n 3 \r\n");
    EXPECT_THROW(load_settings(s.settings, dir.path("conf.ini")), FileError);
    EXPECT_EQ(s.settings.admin_address, "before");
}

TEST(SafeSave, AFailedSaveKeepsTheOldFile) {
    TempWorkDir dir;
    SharedState s;
    s.settings.admin_address = "new@x";
    const QByteArray old = "old\r\nold\r\nold\r\nold\r\n 1 \r\n 1 \r\n 1 \r\n 1 \r\n";
    dir.write("conf.ini", old);

    // read-only directory
    ASSERT_EQ(::chmod(QFile::encodeName(dir.root()).constData(), 0555), 0);
    {
        AsUnprivileged nobody;
        try {
            save_settings(s.settings, dir.path("conf.ini"));
            FAIL() << "saving into a read-only directory must fail";
        } catch (const FileError& e) {
            EXPECT_TRUE(e.text.contains("conf.ini")) << e.text.toStdString();
        }
    }
    ::chmod(QFile::encodeName(dir.root()).constData(), 0755);
    EXPECT_EQ(dir.read("conf.ini"), old);

    // a file the operator made read-only is not replaced either, by anyone
    ::chmod(QFile::encodeName(dir.path("conf.ini")).constData(), 0444);
    EXPECT_THROW(save_settings(s.settings, dir.path("conf.ini")), FileError);
    {
        AsUnprivileged nobody;
        EXPECT_THROW(save_settings(s.settings, dir.path("conf.ini")), FileError);
    }
    EXPECT_EQ(dir.read("conf.ini"), old);
    EXPECT_EQ(QDir(dir.root()).entryList(QDir::Files).size(), 1); // no temporary left behind
}

TEST(SafeSave, KeepsTheFileModeAndReplacesTheContent) {
    TempWorkDir dir;
    dir.write("kanshi.ini", "old");
    ::chmod(QFile::encodeName(dir.path("kanshi.ini")).constData(), 0640);
    SharedState s;
    save_target_list(s.targets, dir.path("kanshi.ini"));
    EXPECT_EQ(dir.read("kanshi.ini"), QByteArray());
    struct stat st {};
    ::stat(QFile::encodeName(dir.path("kanshi.ini")).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}
