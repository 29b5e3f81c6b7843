#pragma once
// The real message boxes: modal QMessageBox instances.
#include <QMessageBox>
#include <QPointer>
#include <map>

#include "core/message_box.h"

class QtMessageBoxes : public MessageBoxes {
  public:
    BoxAnswer show(const BoxRequest& request) override;
    // A window-modal-free QMessageBox that deletes itself when closed.
    void inform(const BoxRequest& request, Kind kind) override;

  private:
    std::map<Kind, QPointer<QMessageBox>> shown_;
};
