// Ending the program, and a second copy: real processes and a real event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "app_fixture.h"
#include "platform/single_instance.h"
#include "ui/program_end.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

// A secondary window that would ask a question on close.
class AskingWindow : public QWidget {
  public:
    explicit AskingWindow(int& closes) : closes_(closes) {}

  protected:
    void closeEvent(QCloseEvent* e) override {
        ++closes_;
        e->accept();
    }

  private:
    int& closes_;
};

// A private X server for the test, so that real windows can be found and keys pressed.
class Xvfb {
  public:
    Xvfb() {
        server_.setProgram("Xvfb");
        // -noreset: when its last client goes (the copy killed below), the
        // server would reset and refuse the next copy's connection meanwhile.
        server_.setArguments(
            {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"});
        server_.start();
        if (!server_.waitForStarted(3000) || !server_.waitForReadyRead(5000))
            return;
        display_ = ":" + QString::fromLatin1(server_.readLine().trimmed());
    }
    ~Xvfb() {
        server_.terminate();
        server_.waitForFinished(3000);
    }
    QString display() const { return display_; }

    // Runs an X tool against this server; its standard output.
    QString run(const QString& tool, const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        p.setProcessEnvironment(env);
        p.start(tool, args);
        p.waitForFinished(5000);
        return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    }

    // The visible window of a process, waiting up to twenty seconds for it: a
    // cold start of Qt and the CJK font can take more than five on a busy
    // machine, which once failed the start after the crash below.
    QString window_of(qint64 pid) const {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            QString ids =
                run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid)});
            if (!ids.isEmpty())
                return ids.split('\n').first();
            QThread::msleep(100);
        }
        return {};
    }
    QString size_of(const QString& window) const {
        const QString geometry = run("xdotool", {"getwindowgeometry", window});
        const qsizetype at = geometry.indexOf("Geometry: ");
        return at < 0 ? QString() : geometry.mid(at + 10).trimmed();
    }

  private:
    QProcess server_;
    QString display_;
};

// A user id no one else on the machine runs as, so that these copies meet
// only each other and not a Pelmora of whoever runs the tests.
uid_t uid_of_its_own() {
    return 200000 + static_cast<uid_t>(::getpid() % 100000);
}

bool is_root() {
    return ::geteuid() == 0;
}

// Hands the directory (and the files in it) to uid.
void give_to(const TempWorkDir& dir, uid_t uid) {
    for (const QString& name : QDir(dir.root()).entryList(QDir::Files))
        EXPECT_EQ(::chown(QFile::encodeName(dir.path(name)).constData(), uid, uid), 0);
    EXPECT_EQ(::chown(QFile::encodeName(dir.root()).constData(), uid, uid), 0);
}

// A copy of the program, as uid when the tests run as root (keeping the
// right to send ICMP echo). runtime: its XDG_RUNTIME_DIR, none when empty.
std::unique_ptr<QProcess> start_copy(const TempWorkDir& dir, const QString& runtime,
                                     const QString& display, uid_t uid) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (runtime.isEmpty())
        env.remove("XDG_RUNTIME_DIR");
    else
        env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    if (!is_root()) // as root the copies run as a user of their own
        use_test_lock(env);
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(dir.root());
    if (is_root()) {
        const QString id = QString::number(uid);
        p->start("setpriv",
                 {"--reuid=" + id, "--regid=" + id, "--clear-groups", "--inh-caps=+net_raw",
                  "--ambient-caps=+net_raw", "--", QStringLiteral(PELMORA_BINARY)});
    } else {
        p->start(QStringLiteral(PELMORA_BINARY), {});
    }
    p->waitForStarted();
    return p;
}

// Runs body in a child process under uid; its exit code.
int in_child_as(uid_t uid, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0)
            ::_exit(100);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(SecondCopy, ShowsTheBoxAndEndsWhileTheFirstRunsOn) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "Xvfb and xdotool are needed to see real windows (scripts/install-deps.sh)";
    Xvfb x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    TempWorkDir dir, runtime, other_runtime;
    dir.write("conf.ini", conf_bytes());
    dir.write("kanshi.ini", AppFixture::three_targets());
    const uid_t uid = uid_of_its_own();
    if (is_root()) {
        give_to(dir, uid);
        give_to(runtime, uid);
        give_to(other_runtime, uid);
    }

    auto first = start_copy(dir, runtime.root(), x.display(), uid);
    const QString main_window = x.window_of(first->processId());
    ASSERT_FALSE(main_window.isEmpty()) << "the first copy shows no window";
    const QString main_size = x.size_of(main_window);
    EXPECT_EQ(main_size, "198x182");

    auto second = start_copy(dir, runtime.root(), x.display(), uid);
    const QString box = x.window_of(second->processId());
    ASSERT_FALSE(box.isEmpty()) << "the second copy shows nothing";
    EXPECT_NE(x.size_of(box), main_size) << "the second copy must show its box, not a main window";
    EXPECT_EQ(x.run("xdotool", {"getwindowname", box}), "Pelmora");
    EXPECT_FALSE(second->waitForFinished(300)) << "it waits for the operator";

    x.run("xdotool", {"windowfocus", "--sync", box});
    x.run("xdotool", {"key", "Return"});
    ASSERT_TRUE(second->waitForFinished(5000)) << "closing the box ends the second copy";
    EXPECT_NE(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // Another runtime directory, or none, is still the same user.
    for (const QString& elsewhere : {other_runtime.root(), QString()}) {
        auto another = start_copy(dir, elsewhere, x.display(), uid);
        const QString its_window = x.window_of(another->processId());
        EXPECT_NE(x.size_of(its_window).toStdString(), main_size.toStdString())
            << "a copy with XDG_RUNTIME_DIR '" << elsewhere.toStdString() << "' ran as well";
        another->kill();
        another->waitForFinished();
    }

    // A copy that dies leaves its lock file behind, but not the lock.
    first->kill();
    first->waitForFinished();
    if (is_root()) {
        EXPECT_TRUE(QFile::exists(QStringLiteral("/tmp/pelmora-%1.lock").arg(uid)));
    }
    auto third = start_copy(dir, runtime.root(), x.display(), uid);
    const QString third_window = x.window_of(third->processId());
    EXPECT_EQ(x.size_of(third_window), main_size)
        << "a new start after a crash shows the main window; it "
        << (third->waitForFinished(100) ? "ended with " + std::to_string(third->exitCode())
                                        : std::string("runs"))
        << ", saying: " << third->readAllStandardError().toStdString();
    third->kill();
    third->waitForFinished();
    if (is_root())
        QFile::remove(QStringLiteral("/tmp/pelmora-%1.lock").arg(uid));
}

TEST(SecondCopy, TwoLocksOfOneUserMeetWhateverTheEnvironment) {
    if (!is_root())
        GTEST_SKIP() << "needs root to act as a user no one else runs as";
    const uid_t uid = uid_of_its_own();
    TempWorkDir here, there;
    // The number of the first step that went wrong, 0 when none did.
    const int failed_step = in_child_as(uid, [&] {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(here.root()));
        qputenv("TMPDIR", QFile::encodeName(here.root()));
        auto first = std::make_unique<SingleInstanceLock>();
        if (!first->acquire())
            return 1;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(there.root()));
        qputenv("TMPDIR", QFile::encodeName(there.root()));
        if (SingleInstanceLock second; second.acquire())
            return 2;
        qunsetenv("XDG_RUNTIME_DIR");
        qunsetenv("TMPDIR");
        if (SingleInstanceLock third; third.acquire())
            return 3;
        // the test hook never moves the lock into a folder others could plant
        for (const QByteArray& folder : {QByteArray("/tmp"), QFile::encodeName(here.root())}) {
            qputenv("PELMORA_TEST_LOCK_DIR", folder);
            if (SingleInstanceLock hooked; hooked.acquire())
                return 5;
        }
        qunsetenv("PELMORA_TEST_LOCK_DIR");
        first.reset(); // that copy ends
        if (SingleInstanceLock fourth; !fourth.acquire())
            return 4;
        return 0;
    });
    QFile::remove(QStringLiteral("/tmp/pelmora-%1.lock").arg(uid));
    EXPECT_EQ(failed_step, 0);
}

TEST(EndProgram, Command1EndsAtOnceWithoutAskingOpenWindows) {
    int closes = 0;
    {
        AppFixture fx;
        fx.app->settings_window().make = [&] { return new AskingWindow(closes); };
        fx.app->target_editor().make = [&] { return new AskingWindow(closes); };
        fx.main().show();
        fx.app->Command3_Click();
        fx.app->Command4_Click();
        QTimer::singleShot(0, fx.main().exit_button, &QPushButton::click);
        QTimer failsafe;
        failsafe.setSingleShot(true);
        QObject::connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        failsafe.start(5000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_TRUE(program_ending());
        EXPECT_EQ(fx.dir.read("conf.ini"), conf_bytes());
    }
    EXPECT_EQ(closes, 0); // no close handler ran, not even when the windows went away
}
