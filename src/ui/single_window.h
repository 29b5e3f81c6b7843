#pragma once
// A secondary window that exists at most once: opening it while it is open
// brings it to the front; opening it while it is closed builds it afresh.
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <functional>

class SingleWindow {
  public:
    std::function<QWidget*()> make; // builds the window; it deletes itself on close

    void open() {
        if (window_) {
            window_->showNormal();
            window_->raise();
            window_->activateWindow();
            return;
        }
        if (!make)
            return;
        window_ = make();
        window_->setAttribute(Qt::WA_DeleteOnClose);
        // When it closes, the keyboard goes back to the window it came from.
        QPointer<QWidget> came_from = QApplication::activeWindow();
        QObject::connect(window_, &QObject::destroyed, [came_from] {
            if (came_from && came_from->isVisible()) {
                came_from->raise();
                came_from->activateWindow();
            }
        });
        window_->show();
        window_->activateWindow();
    }

    QWidget* current() const { return window_; }

  private:
    QPointer<QWidget> window_;
};
