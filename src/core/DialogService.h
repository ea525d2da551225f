#pragma once

#include "core/Texts.h"

#include <QString>

namespace kr90x {

// One modal box with an OK button.
struct MessageBox {
    enum class Icon { Information, Error, None };
    Icon icon = Icon::Information;
    QString caption;
    QString text;
};

// Every modal box of the program goes through here, so that tests can answer them without
// ever blocking on a real modal dialog. The real service keeps the event loop running
// while a box is open, as Qt's modal boxes do.
class DialogService {
public:
    virtual ~DialogService() = default;

    virtual void showBox(const MessageBox& box) = 0;

    // A user message: caption "Information".
    void information(const QString& text) {
        showBox({MessageBox::Icon::Information, QString::fromLatin1(kInformationCaption), text});
    }
    // The simple message service: the application title as caption, no icon.
    void message(const QString& text) {
        showBox({MessageBox::Icon::None, QString::fromLatin1(kApplicationTitle), text});
    }
    // An error that escaped a handler.
    void error(const QString& text) {
        showBox({MessageBox::Icon::Error, QString::fromLatin1(kApplicationTitle), text});
    }
};

} // namespace kr90x
