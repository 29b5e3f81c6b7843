#pragma once
// The real message boxes: modal QMessageBox instances.
#include "core/message_box.h"

class QtMessageBoxes : public MessageBoxes {
  public:
    BoxAnswer show(const BoxRequest& request) override;
};
