#pragma once

#include "core/DialogService.h"

class QWidget;

namespace kr90x {

// Shows the boxes as Qt's modal message boxes over the program's window.
class QtDialogService : public DialogService {
public:
    void setParentWindow(QWidget* parent) { parent_ = parent; }
    void showBox(const MessageBox& box) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace kr90x
