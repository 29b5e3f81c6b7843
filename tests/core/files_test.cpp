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
#include "core/shared_state.h"
#include "core/startup.h"
#include "platform/echo/echo_destination.h"
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
using Loader = std::function<FileRead(const QString& path)>;
const std::pair<QString, Loader> kLoaders[] = {
    {QStringLiteral("conf.ini"),
     [](const QString& path) {
         SharedState s;
         return load_settings(s.settings, path);
     }},
    {QStringLiteral("kanshi.ini"),
     [](const QString& path) {
         SharedState s;
         return load_target_list(s.targets, path);
     }},
};

// The text of the failure that load returns, within two seconds. A load that
// blocks is left behind in its own thread; the test fails either way.
QString refusal_within_2s(const Loader& load, const QString& path) {
    auto result = std::make_shared<std::promise<QString>>();
    std::future<QString> text = result->get_future();
    std::thread([load, path, result] {
        try {
            const FileRead read = load(path);
            result->set_value(read.ok() ? QStringLiteral("(loaded)") : read.failure().text);
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

// The one box of warnings start-up shows for the two files.
QString warning_box(const QString& conf, const QString& kanshi) {
    SharedState s;
    return hand_edit_warning_box_text(load_settings(s.settings, conf).warnings() +
                                      load_target_list(s.targets, kanshi).warnings());
}

// What loading bytes as the file name warns of.
QStringList warnings_of(const QString& name, const QByteArray& bytes) {
    TempWorkDir dir;
    dir.write(name, bytes);
    const FileRead read = (name == "conf.ini" ? kLoaders[0] : kLoaders[1]).second(dir.path(name));
    EXPECT_TRUE(read.ok());
    return read.warnings();
}

} // namespace

TEST(TargetFile, TheRouterExampleRoundTripsByteForByte) {
    TempWorkDir dir;
    dir.write("kanshi.ini", kRouter39);
    SharedState s;
    ASSERT_TRUE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
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
    ASSERT_TRUE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
    EXPECT_EQ(s.targets.count, 0);

    dir.write("kanshi.ini", records(1001));
    ASSERT_TRUE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
    EXPECT_EQ(s.targets.count, 1001);
    EXPECT_EQ(s.targets.records[1000].address, "10.0.3.232");

    dir.write("kanshi.ini", records(1002));
    const FileRead too_many = load_target_list(s.targets, dir.path("kanshi.ini"));
    ASSERT_FALSE(too_many.ok()) << "a 1002nd record must fail";
    EXPECT_TRUE(too_many.failure().text.contains(QStringLiteral("3004 行目")))
        << too_many.failure().text.toStdString();
    EXPECT_EQ(too_many.failure().code, FileFailure::Code::BadValue);
    EXPECT_EQ(too_many.failure().file, "kanshi.ini");
    EXPECT_EQ(too_many.failure().line, 3004);
    EXPECT_EQ(s.targets.count, 1001); // a failed load leaves the table alone
}

TEST(TargetFile, ShortRecordsAndATrailingEmptyLineFail) {
    TempWorkDir dir;
    SharedState s;
    for (const QByteArray& bad :
         {records(2) + "\r\n", records(1) + "10.0.0.9\r\nX\r\n", QByteArray("a")}) {
        dir.write("kanshi.ini", bad);
        EXPECT_FALSE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
    }
    EXPECT_FALSE(load_target_list(s.targets, dir.path("missing.ini")).ok());
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
    ASSERT_TRUE(load_target_list(back.targets, dir.path("kanshi.ini")).ok());
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
    ASSERT_TRUE(load_settings(s.settings, dir.path("conf.ini")).ok());
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
    EXPECT_FALSE(load_settings(s.settings, dir.path("conf.ini")).ok());
    dir.write("conf.ini", "a\r\nb\r\nc\r\nd\r\n 40000 \r\n 3 \r\n 64 \r\n 3 \r\n");
    EXPECT_FALSE(load_settings(s.settings, dir.path("conf.ini")).ok());
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
    loaders.emplace_back("pelmora.log", [](const QString& path) -> FileRead { // the same rules
        EventLogFile log({path, kLogRotateBytes, false});
        QString refused;
        log.on_failure = [&refused](const QString& text) { refused = text; };
        log.write({EventKind::End, QDateTime::currentDateTime(), {}});
        if (refused.isEmpty())
            return {};
        return FileFailure{FileFailure::Code::Refused, {}, 0, refused};
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
    ASSERT_TRUE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
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
    const FileRead cut = load_target_list(s.targets, dir.path("kanshi.ini"));
    ASSERT_FALSE(cut.ok()) << "a cut description must fail";
    EXPECT_TRUE(cut.failure().text.contains(QStringLiteral("kanshi.ini の 5 行目")) &&
                cut.failure().text.contains(QStringLiteral("カンマ")))
        << cut.failure().text.toStdString();
    // fields split by commas on one line, flag included, still read
    dir.write("kanshi.ini", "10.0.0.1,Core,1\r\n10.0.0.2\r\nEdge\r\n 0 \r\n");
    ASSERT_TRUE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
    ASSERT_EQ(s.targets.count, 2);
    EXPECT_EQ(s.targets.records[0].description, "Core");
    EXPECT_EQ(s.targets.records[0].flag, 1);
}

TEST(HandEditWarnings, NumbersOutside1To255AreListedWithWhatTheProgramDoes) {
    TempWorkDir dir;
    dir.write("kanshi.ini", records(2));
    dir.write("conf.ini", conf_bytes());
    EXPECT_EQ(warning_box(dir.path("conf.ini"), dir.path("kanshi.ini")), QString());

    // an empty 8th line is a stop value of 0; TTL 0 still goes out as 1
    QByteArray conf = conf_bytes(5, 3, 0, 1);
    conf.replace(conf.lastIndexOf(" 1 \r\n"), 5, "\r\n");
    dir.write("conf.ini", conf);
    const QStringList lines =
        warning_box(dir.path("conf.ini"), dir.path("kanshi.ini")).split(u'\n');
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
            warnings_of("conf.ini", conf_bytes(c.interval, c.attempts, c.ttl, c.stop));
        ASSERT_EQ(warnings.size(), 1);
        EXPECT_TRUE(warnings[0].contains(c.expected)) << warnings[0].toStdString();
    }
    // a conf.ini that cannot be loaded gets no warnings; its failure says why
    SharedState s;
    dir.write("conf.ini", "a\r\nb\r\n");
    const FileRead short_conf = load_settings(s.settings, dir.path("conf.ini"));
    ASSERT_FALSE(short_conf.ok());
    EXPECT_TRUE(short_conf.warnings().isEmpty());
    EXPECT_EQ(short_conf.failure().line, 3);
}

TEST(HandEditWarnings, ABomIsReportedAndSkippedSoTheFirstAddressWorks) {
    TempWorkDir dir;
    dir.write("conf.ini", QByteArray("\xEF\xBB\xBF") + conf_bytes());
    dir.write("kanshi.ini", QByteArray("\xEF\xBB\xBF") + records(2));
    EXPECT_EQ(warning_box(dir.path("conf.ini"), dir.path("kanshi.ini")),
              QStringLiteral(
                  "設定ファイルに次の問題があります。監視はこのまま続けます。\n"
                  "conf.ini の 1 行目: 先頭に UTF-8 の BOM があります。BOM は読み飛ばします。\n"
                  "kanshi.ini の 1 行目: 先頭に UTF-8 の BOM があります。BOM は読み飛ばします。"));
    SharedState s;
    ASSERT_TRUE(load_settings(s.settings, dir.path("conf.ini")).ok());
    EXPECT_EQ(s.settings.admin_address, "admin@example.com");
    ASSERT_TRUE(load_target_list(s.targets, dir.path("kanshi.ini")).ok());
    ASSERT_EQ(s.targets.count, 2);
    EXPECT_EQ(s.targets.records[0].address, "10.0.0.0");
}

TEST(HandEditWarnings, BadBytesAreNamedOnlyOnTheLinesThatAreRead) {
    // Lines counted the way the loader counts them: CR LF, LF and CR alike.
    const QStringList warnings =
        warnings_of("kanshi.ini", "10.0.0.1\r\nBad\xA0name\n 0 \r10.0.0.2\rcut\x81\r\n 1 \r\n");
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("kanshi.ini の 2 行目: シフトJIS")));
    EXPECT_TRUE(warnings[1].startsWith(QStringLiteral("kanshi.ini の 5 行目: シフトJIS")));
    EXPECT_TRUE(warnings_of("kanshi.ini", records(3)).isEmpty());

    // conf.ini's eight values; what follows them is never read
    const QByteArray conf = conf_bytes();
    EXPECT_EQ(warnings_of("conf.ini", conf + "bad\x81\r\n\xEF\xBB\xBFmore\r\n"), QStringList());
    QByteArray eighth_bad = conf;
    eighth_bad.insert(eighth_bad.size() - 2, "\xA0");
    ASSERT_EQ(warnings_of("conf.ini", eighth_bad).size(), 1);
    EXPECT_TRUE(warnings_of("conf.ini", eighth_bad)[0].startsWith(
        QStringLiteral("conf.ini の 8 行目: シフトJIS")));
}

TEST(HandEditWarnings, AddressesTheEngineCannotSendToAreNamedWithTheirRecord) {
    // "\201\100" is a full-width blank. Blanks before a value are read past,
    // and the engine reads past blanks around a part, as the octet boxes admit.
    const QList<QByteArray> unsent =
        QByteArray("router1.example.com|192.168.1.300|10.61.2|\201\10010.0.0.1|10.0.0.1\t|10..0.1|"
                   "0.1.2.3|224.0.0.1|")
            .split('|');
    const QList<QByteArray> sent =
        QByteArray("10.0.0.1| 10.0.0.1|\" 10. 0 .0.1 \"|10.0.0.0 |223.255.255.255").split('|');
    for (const QByteArray& address : unsent + sent) {
        SCOPED_TRACE(address.toStdString());
        TempWorkDir dir;
        dir.write("kanshi.ini", records(1) + address + "\r\nDev\r\n 0 \r\n" + records(1));
        SharedState s;
        const FileRead read = load_target_list(s.targets, dir.path("kanshi.ini"));
        ASSERT_TRUE(read.ok());
        const QString stored = s.targets.records[1].address;
        // the warning follows the engine's own rule
        EXPECT_EQ(echo_destination(stored.toStdString()).has_value(), sent.contains(address));
        const QString warning = QStringLiteral("kanshi.ini の 4 行目: 2 件目のアドレス「%1」は "
                                               "ping を送れる IPv4 アドレスではありません。"
                                               "この機器は毎回応答なしと判定されます。")
                                    .arg(stored);
        EXPECT_EQ(read.warnings(), sent.contains(address) ? QStringList() : QStringList{warning});
    }
    // a record out of monitoring gets no packet, and no warning
    EXPECT_EQ(warnings_of("kanshi.ini", "router1\r\nDev\r\n 1 \r\n"), QStringList());
}
