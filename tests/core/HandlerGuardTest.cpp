#include "core/HandlerGuard.h"

#include "support/RecordingDialogService.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kr90x;

TEST(HandlerGuard, AnEscapingErrorIsShownInTheErrorBoxWithTheApplicationTitle) {
    test::RecordingDialogService dialogs;
    int stepsDone = 0;
    EXPECT_FALSE(runGuarded(dialogs, [&] {
        ++stepsDone;
        throw std::runtime_error("Access violation at address 0");
    }));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].icon, MessageBox::Icon::Error);
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Orvo KR90X pressure tester"));
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Access violation at address 0"));
    EXPECT_EQ(stepsDone, 1);

    EXPECT_FALSE(runGuarded(dialogs, [] { throw 42; }));
    EXPECT_EQ(dialogs.boxes.back().text, QStringLiteral("Unknown error"));

    EXPECT_TRUE(runGuarded(dialogs, [&] { ++stepsDone; }));
    EXPECT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(stepsDone, 2);
}

TEST(DialogService, BoxesCarryTheirCaptions) {
    test::RecordingDialogService dialogs;
    dialogs.information(QStringLiteral("No data available !"));
    dialogs.message(QStringLiteral("Transfer timed out"));
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Information"));
    EXPECT_EQ(dialogs.boxes[0].icon, MessageBox::Icon::Information);
    EXPECT_EQ(dialogs.boxes[1].caption, QStringLiteral("Orvo KR90X pressure tester"));
}
