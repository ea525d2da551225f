// Every window in a proportional face where the package's fonts are all a machine has:
// fontconfig then resolves "sans-serif" to Liberation Mono. Its own program, since the
// font configuration is read once, before the application exists.
#include "app/Application.h"
#include "app/TForm1.h"
#include "app/TesterPanel.h"
#include "app/VirtualTesterSession.h"
#include "reports/ReportPreview.h"
#include "reports/TRepSystem.h"
#include "support/RecordingDialogService.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace kr90x;

namespace {

constexpr char kPackageFonts[] = "/usr/share/fonts/truetype/liberation2";

std::string faceOf(const QWidget& w) {
    const QFontInfo info(w.font());
    return info.family().toStdString() + (info.fixedPitch() ? " (fixed pitch)" : "");
}

} // namespace

TEST(Fonts, EveryWindowIsSetInTheTemplatesProportionalFace) {
    setUpApplication();
    AppState state;
    test::RecordingDialogService dialogs;
    VirtualTesterSession session(TesterOptions{});
    TForm1 form(state, dialogs, session.platform(), UpdateSettings{});
    form.show();
    session.showPanel(&form);
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), QStringLiteral("A"),
                    QMessageBox::Ok, &form);
    box.show();
    reports::TRepSystem engine(dialogs);
    reports::ReportPreview preview(reports::TRepSystem::emptyDocument(), engine, dialogs,
                                   QLatin1Char(','));
    preview.show();
    test::drainEvents();
    const std::vector<const QWidget*> windows = {session.panel(), &box, &preview};
    for (const QWidget* w : windows) {
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(faceOf(*w), "Liberation Sans") << w->metaObject()->className();
        EXPECT_FALSE(w->windowIcon().isNull()) << w->metaObject()->className();
    }
    EXPECT_FALSE(QFontInfo(form.font()).fixedPitch());
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir config;
    if (!config.isValid()) {
        return 1;
    }
    QFile fonts(config.filePath(QStringLiteral("fonts.conf")));
    if (!fonts.open(QIODevice::WriteOnly)) {
        return 1;
    }
    fonts.write(
        QStringLiteral("<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>%1</dir>\n"
                       "  <cachedir>%2</cachedir>\n</fontconfig>\n")
            .arg(QString::fromLatin1(kPackageFonts), config.filePath(QStringLiteral("cache")))
            .toUtf8());
    fonts.close();
    setenv("FONTCONFIG_FILE", fonts.fileName().toLocal8Bit().constData(), 1);
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
