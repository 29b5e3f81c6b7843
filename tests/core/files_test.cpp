// conf.ini and kanshi.ini on disk: layouts byte for byte, limits, safe saving.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "core/cp932.h"
#include "core/file_error.h"
#include "core/hand_edit_warnings.h"
#include "core/shared_state.h"
#include "platform/event_log_file.h"
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

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

struct stat status_of(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(local(path).constData(), &st), 0) << path.toStdString();
    return st;
}

// Loading either file, by its own name.
using Loader = std::function<void(const QString& path)>;
const std::pair<QString, Loader> kLoaders[] = {
    {QStringLiteral("conf.ini"),
     [](const QString& path) {
         SharedState s;
         load_settings(s.settings, path);
     }},
    {QStringLiteral("kanshi.ini"),
     [](const QString& path) {
         SharedState s;
         load_target_list(s.targets, path);
     }},
};

// The text of the FileError that load throws, within two seconds. A load that
// blocks is left behind in its own thread; the test fails either way.
QString refusal_within_2s(const Loader& load, const QString& path) {
    auto result = std::make_shared<std::promise<QString>>();
    std::future<QString> text = result->get_future();
    std::thread([load, path, result] {
        try {
            load(path);
            result->set_value(QStringLiteral("(loaded)"));
        } catch (const FileError& e) {
            result->set_value(e.text);
        } catch (const std::exception& e) {
            result->set_value(QStringLiteral("(crashed: %1)").arg(e.what()));
        }
    }).detach();
    if (text.wait_for(std::chrono::seconds(2)) != std::future_status::ready)
        return QStringLiteral("(still blocked after 2 s)");
    return text.get();
}

bool root_rules_testable() {
    return ::geteuid() == 0;
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

TEST(FileKinds, FifoFolderDeviceAndHugeFileAreRefusedAtOnceNamingTheFile) {
    for (const auto& [name, load] : kLoaders) {
        for (const bool as_root : {true, false}) {
            SCOPED_TRACE(name.toStdString() + (as_root ? " as root" : " as nobody"));
            struct Case {
                std::function<void(const QString&)> make;
                QString expected;
            };
            const Case cases[] = {
                {[](const QString& p) { ASSERT_EQ(::mkfifo(local(p).constData(), 0644), 0); },
                 QStringLiteral("通常のファイルではありません")},
                {[](const QString& p) { ASSERT_TRUE(QDir().mkdir(p)); },
                 QStringLiteral("フォルダーです")},
                // a symlink is refused to root before the device is looked at
                {[](const QString& p) {
                     ASSERT_EQ(::symlink("/dev/zero", local(p).constData()), 0);
                 },
                 as_root && root_rules_testable() ? QStringLiteral("シンボリックリンク")
                                                  : QStringLiteral("通常のファイルではありません")},
                {[](const QString& p) {
                     QFile f(p);
                     ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(5 << 20));
                 },
                 QStringLiteral("大きすぎます")},
            };
            for (const Case& c : cases) {
                TempWorkDir dir;
                const QString path = dir.path(name);
                c.make(path);
                QElapsedTimer took;
                took.start();
                QString text;
                if (as_root) {
                    text = refusal_within_2s(load, path);
                } else {
                    AsUnprivileged nobody;
                    text = refusal_within_2s(load, path);
                }
                EXPECT_LT(took.elapsed(), 2000);
                EXPECT_TRUE(text.contains(name) && text.contains(c.expected)) << text.toStdString();
            }
        }
    }
}

TEST(RootFileRules, RootRefusesSymlinksForeignFilesAndOpenFolders) {
    if (!root_rules_testable())
        GTEST_SKIP() << "needs root";
    TempWorkDir elsewhere;
    elsewhere.write("secret", records(1));
    ::chmod(local(elsewhere.path("secret")).constData(), 0600);

    std::vector loaders(std::begin(kLoaders), std::end(kLoaders));
    loaders.emplace_back("pelmora.log", [](const QString& path) { // held to the same rules
        EventLogFile log({path, kLogRotateBytes, false});
        log.on_failure = [](const QString& text) { throw FileError(text); };
        log.write({EventKind::End, QDateTime::currentDateTime(), {}});
    });
    for (const auto& [name, load] : loaders) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray good = name == "conf.ini" ? conf_bytes() : records(1);
        {
            TempWorkDir dir;
            ASSERT_EQ(::symlink(local(elsewhere.path("secret")).constData(),
                                local(dir.path(name)).constData()),
                      0);
            const QString text = refusal_within_2s(load, dir.path(name));
            EXPECT_TRUE(text.contains(name) && text.contains(QStringLiteral("シンボリックリンク")))
                << text.toStdString();
        }
        {
            TempWorkDir dir;
            dir.write(name, good);
            ASSERT_EQ(::chown(local(dir.path(name)).constData(), 65534, 65534), 0);
            QString text = refusal_within_2s(load, dir.path(name));
            EXPECT_TRUE(text.contains(name) && text.contains(QStringLiteral("root 以外が所有")))
                << text.toStdString();

            ::chown(local(dir.path(name)).constData(), 0, 0);
            EXPECT_EQ(refusal_within_2s(load, dir.path(name)), QStringLiteral("(loaded)"));

            // the folder, or the file itself, writable by others
            ::chmod(local(dir.root()).constData(), 01777);
            text = refusal_within_2s(load, dir.path(name));
            EXPECT_TRUE(text.contains(QStringLiteral("書き込めるフォルダー")))
                << text.toStdString();
            ::chmod(local(dir.root()).constData(), 0755);
            ::chmod(local(dir.path(name)).constData(), 0664);
            text = refusal_within_2s(load, dir.path(name));
            EXPECT_TRUE(text.contains(QStringLiteral("書き込めるファイル"))) << text.toStdString();
        }
    }
}

TEST(RootFileRules, OtherUsersMayStillUseASymlinkedFile) {
    TempWorkDir dir;
    dir.write("real.ini", records(2));
    ASSERT_EQ(::symlink("real.ini", local(dir.path("kanshi.ini")).constData()), 0);
    AsUnprivileged nobody;
    SharedState s;
    load_target_list(s.targets, dir.path("kanshi.ini"));
    EXPECT_EQ(s.targets.count, 2);
}

TEST(SafeSave, RootNeverReplacesASymlinkAndNeverWritesSetIdBits) {
    if (!root_rules_testable())
        GTEST_SKIP() << "needs root";
    TempWorkDir dir;
    SharedState s;
    s.settings.admin_address = "new@x";

    // a link to a set-user-ID program: neither is touched
    dir.write("program", "#!/bin/sh\n");
    ::chmod(local(dir.path("program")).constData(), 04755);
    ASSERT_EQ(::symlink("program", local(dir.path("conf.ini")).constData()), 0);
    try {
        save_settings(s.settings, dir.path("conf.ini"));
        FAIL() << "root must not replace a symlink";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.text.contains("conf.ini") &&
                    e.text.contains(QStringLiteral("シンボリックリンク")))
            << e.text.toStdString();
    }
    EXPECT_TRUE(S_ISLNK(status_of(dir.path("conf.ini")).st_mode));
    EXPECT_EQ(status_of(dir.path("program")).st_mode & 07777, 04755u);

    // a set-ID file of root's is replaced by a plain one, owner and group kept
    QFile::remove(dir.path("conf.ini"));
    dir.write("conf.ini", conf_bytes());
    ASSERT_EQ(::chown(local(dir.path("conf.ini")).constData(), 0, 65534), 0);
    ::chmod(local(dir.path("conf.ini")).constData(), 07754);
    save_settings(s.settings, dir.path("conf.ini"));
    const struct stat after = status_of(dir.path("conf.ini"));
    EXPECT_EQ(after.st_mode & 07777, 0754u);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(after.st_gid, 65534u);
    EXPECT_TRUE(dir.read("conf.ini").startsWith("new@x\r\n"));
}

TEST(SafeSave, AnotherUserKeepsTheirOwnershipAndLosesSetIdBitsToo) {
    if (!root_rules_testable())
        GTEST_SKIP() << "needs root to act as another user";
    TempWorkDir dir;
    ::chmod(local(dir.root()).constData(), 0777);
    dir.write("kanshi.ini", records(1));
    ::chown(local(dir.path("kanshi.ini")).constData(), 65534, 65534);
    ::chmod(local(dir.path("kanshi.ini")).constData(), 06664);
    SharedState s;
    {
        AsUnprivileged nobody;
        save_target_list(s.targets, dir.path("kanshi.ini"));
    }
    ::chmod(local(dir.root()).constData(), 0755);
    const struct stat after = status_of(dir.path("kanshi.ini"));
    EXPECT_EQ(after.st_mode & 07777, 0664u);
    EXPECT_EQ(after.st_uid, 65534u);
    EXPECT_EQ(dir.read("kanshi.ini"), QByteArray());
}

TEST(TargetFile, ACommaInAnUnquotedDescriptionFailsAtItsOwnLine) {
    TempWorkDir dir;
    SharedState s;
    // record 2's description holds a comma: without a check the fields shift
    // and the load ends with "the file ends early" far below
    dir.write("kanshi.ini", records(1) + "10.0.0.8\r\nCore, rack 2\x81\x5e" +
                                "1\x81\x5ex\r\n 0 \r\n" + records(3));
    try {
        load_target_list(s.targets, dir.path("kanshi.ini"));
        FAIL() << "a cut description must fail";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.text.contains(QStringLiteral("kanshi.ini の 5 行目")) &&
                    e.text.contains(QStringLiteral("カンマ")))
            << e.text.toStdString();
    }
    // fields split by commas on one line, flag included, still read
    dir.write("kanshi.ini", "10.0.0.1,Core,1\r\n10.0.0.2\r\nEdge\r\n 0 \r\n");
    load_target_list(s.targets, dir.path("kanshi.ini"));
    ASSERT_EQ(s.targets.count, 2);
    EXPECT_EQ(s.targets.records[0].description, "Core");
    EXPECT_EQ(s.targets.records[0].flag, 1);
}

TEST(HandEditWarnings, NumbersOutside1To255AreListedWithWhatTheProgramDoes) {
    TempWorkDir dir;
    dir.write("kanshi.ini", records(2));
    dir.write("conf.ini", conf_bytes());
    EXPECT_EQ(hand_edit_warning_text(dir.path("conf.ini"), dir.path("kanshi.ini")), QString());

    // an empty 8th line is a stop value of 0; TTL 0 still goes out as 1
    QByteArray conf = conf_bytes(5, 3, 0, 1);
    conf.replace(conf.lastIndexOf(" 1 \r\n"), 5, "\r\n");
    dir.write("conf.ini", conf);
    const QStringList lines =
        hand_edit_warning_text(dir.path("conf.ini"), dir.path("kanshi.ini")).split(u'\n');
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("conf.ini の 7 行目: TTL値が 0 です（1～255 の範囲外）。"
                                       "TTL 1 として送信します。"));
    EXPECT_EQ(lines[2],
              QStringLiteral("conf.ini の 8 行目: Mail配信停止値が 0 です（1～255 の範囲外）。"
                             "通知は送信されません。"));

    struct Case {
        int interval, attempts, ttl, stop;
        QString expected;
    };
    const Case cases[] = {
        {0, 3, 64, 3,
         QStringLiteral("5 行目: 監視間隔（分）が 0 です（1～255 の範囲外）。1 分ごと")},
        {-7, 3, 64, 3, QStringLiteral("1 分ごとに監視します。")},
        {300, 3, 64, 3, QStringLiteral("300 分ごとに監視します。")},
        {5, 0, 64, 3,
         QStringLiteral(
             "6 行目: ICMP失敗許容値が 0 です（1～255 の範囲外）。各機器に ping を 1 回まで")},
        {5, 3, -1, 3, QStringLiteral("TTL値が -1 です（1～255 の範囲外）。TTL 1 として")},
        {5, 3, 256, 3, QStringLiteral("TTL 255 として送信します。")},
        {5, 3, 64, -2, QStringLiteral("通知は送信されません。")},
        {5, 3, 64, 1000, QStringLiteral("通知は連続 1000 回まで送信されます。")},
    };
    for (const Case& c : cases) {
        const QStringList warnings =
            conf_number_warnings(conf_bytes(c.interval, c.attempts, c.ttl, c.stop), "conf.ini");
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings[0].contains(c.expected)) << warnings[0].toStdString();
    }
    // a conf.ini that cannot be loaded gets no number warnings; the load says why
    EXPECT_TRUE(conf_number_warnings("a\r\nb\r\n", "conf.ini").isEmpty());
}

TEST(HandEditWarnings, ABomIsReportedAndSkippedSoTheFirstAddressWorks) {
    TempWorkDir dir;
    dir.write("conf.ini", QByteArray("\xEF\xBB\xBF") + conf_bytes());
    dir.write("kanshi.ini", QByteArray("\xEF\xBB\xBF") + records(2));
    EXPECT_EQ(hand_edit_warning_text(dir.path("conf.ini"), dir.path("kanshi.ini")),
              QStringLiteral(
                  "設定ファイルに次の問題があります。監視はこのまま続けます。\n"
                  "conf.ini の 1 行目: 先頭に UTF-8 の BOM があります。BOM は読み飛ばします。\n"
                  "kanshi.ini の 1 行目: 先頭に UTF-8 の BOM があります。BOM は読み飛ばします。"));
    SharedState s;
    load_settings(s.settings, dir.path("conf.ini"));
    EXPECT_EQ(s.settings.admin_address, "admin@example.com");
    load_target_list(s.targets, dir.path("kanshi.ini"));
    ASSERT_EQ(s.targets.count, 2);
    EXPECT_EQ(s.targets.records[0].address, "10.0.0.0");
}

TEST(HandEditWarnings, LinesThatAreNotCodePage932AreNamedOnePerLine) {
    // Lines counted the way the loader counts them: CR LF, LF and CR alike.
    const QByteArray bytes = "10.0.0.1\r\nBad\xA0name\n 0 \r10.0.0.2\rcut\x81\r\n 1 \r\n";
    const QStringList warnings = line_encoding_warnings(bytes, "kanshi.ini");
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("kanshi.ini の 2 行目: シフトJIS")));
    EXPECT_TRUE(warnings[1].startsWith(QStringLiteral("kanshi.ini の 5 行目: シフトJIS")));
    EXPECT_TRUE(line_encoding_warnings(records(3), "kanshi.ini").isEmpty());
}
