// Ending the program, and a second copy: real processes and a real event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "app_fixture.h"
#include "ui/program_end.h"

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
        server_.setArguments({"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
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

    // The visible window of a process, waiting up to five seconds for it.
    QString window_of(qint64 pid) const {
        for (int i = 0; i < 50; ++i) {
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

std::unique_ptr<QProcess> start_copy(const TempWorkDir& dir, const QString& runtime,
                                     const QString& display) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(dir.root());
    p->start(QStringLiteral(PELMORA_BINARY), {});
    p->waitForStarted();
    return p;
}

} // namespace

TEST(SecondCopy, ShowsTheBoxAndEndsWhileTheFirstRunsOn) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "Xvfb and xdotool are needed to see real windows (scripts/install-deps.sh)";
    Xvfb x;
    ASSERT_FALSE(x.display().isEmpty()) << "Xvfb did not start";
    TempWorkDir dir, runtime;
    dir.write("conf.ini", conf_bytes());
    dir.write("kanshi.ini", AppFixture::three_targets());

    auto first = start_copy(dir, runtime.root(), x.display());
    const QString main_window = x.window_of(first->processId());
    ASSERT_FALSE(main_window.isEmpty()) << "the first copy shows no window";
    const QString main_size = x.size_of(main_window);
    EXPECT_EQ(main_size, "198x182");

    auto second = start_copy(dir, runtime.root(), x.display());
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

    // A copy that dies leaves its lock file behind, but not the lock.
    first->kill();
    first->waitForFinished();
    EXPECT_TRUE(QFile::exists(runtime.path("pelmora.lock")));
    auto third = start_copy(dir, runtime.root(), x.display());
    const QString third_window = x.window_of(third->processId());
    EXPECT_EQ(x.size_of(third_window), main_size)
        << "a new start after a crash shows the main window";
    third->kill();
    third->waitForFinished();
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
        QTimer::singleShot(0, fx.main().Command1, &QPushButton::click);
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
