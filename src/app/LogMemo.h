#pragma once

#include "core/Log.h"

#include <QPlainTextEdit>

namespace kr90x {

// The log's place in the window. The window never shows it; if it ever is shown, it
// copies the log's lines at that moment, so appending to the log stays cheap.
class LogMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    LogMemo(const Log& log, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const Log& log_;
};

} // namespace kr90x
