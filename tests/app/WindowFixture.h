#pragma once

// The window on the virtual HID platform, its boxes answered by the recording dialog
// service, and replies handed to it as the tester's input reports would be.
#include "app/RadioGroup.h"
#include "app/TForm1.h"
#include "link/virtual/VirtualHidPlatform.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace kr90x::test {

class WindowFixture : public ::testing::Test {
protected:
    AppState state;
    RecordingDialogService dialogs;
    VirtualHidPlatform hid;
    std::unique_ptr<TForm1> form;

    void SetUp() override {
        form = std::make_unique<TForm1>(state, dialogs, hid, UpdateSettings{});
        form->show();
        drainEvents();
    }
    // One input report carrying `text`.
    void receive(const QString& text) {
        std::vector<std::uint8_t> data(64, 0);
        for (qsizetype i = 0; i < text.size() && i < 64; ++i) {
            data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(text.at(i).toLatin1());
        }
        form->HidContDeviceData(nullptr, 0, data.data(), 64);
    }
    // "Read data" for a function, enabled first as an attachment of the tester leaves it.
    void read(int function) {
        form->RadioGroup1->setItemIndex(function);
        form->btnReaddata->setEnabled(true);
        form->btnReaddata->click();
    }
    static QString sample(const char* code, int k, int value) {
        return QStringLiteral("%1|%2|%3|").arg(QLatin1String(code)).arg(k, 5).arg(value, 4);
    }
};

} // namespace kr90x::test
