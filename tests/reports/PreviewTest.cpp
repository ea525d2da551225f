// The preview and the windows it opens as the user meets them: the keys, the zoom, Save
// As over an existing file, the dialogs over the preview, and the status window's Cancel.
// Tests of the real dialogs drive them from the event loop their own exec() runs.
#include "ReportFixture.h"

#include "app/QtDialogService.h"
#include "app/SaveFolder.h"
#include "reports/OutputOptionsDialog.h"
#include "reports/Snapshot.h"
#include "reports/StatusWindow.h"
#include "reports/Templates.h"
#include "support/WaitFor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace kr90x;
using namespace kr90x::reports;
using namespace kr90x::test;

namespace {

// The modal window on top, as a T, once it is there.
template <typename T> T* modal(int boundMs = 5000) {
    T* found = nullptr;
    waitFor(
        [&] {
            found = qobject_cast<T*>(QApplication::activeModalWidget());
            return found != nullptr;
        },
        boundMs);
    return found;
}

// Runs `step` from the event loop, once whatever modal window is open at that moment
// runs its own.
void later(std::function<void()> step) {
    QTimer::singleShot(0, qApp, std::move(step));
}

QByteArray contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class PreviewTest : public ReportFixture {
protected:
    QtDialogService qtDialogs;
    QTimer watchdog;

    void SetUp() override {
        ReportFixture::SetUp();
        // A test that goes wrong must not leave a modal window waiting for ever.
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, qApp, [] {
            ADD_FAILURE() << "a modal window was left open";
            while (QWidget* w = QApplication::activeModalWidget()) {
                w->close();
            }
        });
        watchdog.start(60000);
    }

    Document compressionDocument() {
        compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
        form->RepProject1->Open();
        Document document;
        document.pages.push_back(form->RepProject1->generatePage());
        form->RepProject1->Close();
        return document;
    }

    // The preview shown, active and with the keyboard, as the modal loop leaves it.
    void openPreview(const std::function<void(ReportPreview&)>& look) {
        dialogs.onModal = [&](QDialog& w) {
            w.show();
            w.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
            look(static_cast<ReportPreview&>(w));
        };
        compressionResult({12.5, 13.0, 9.8, 11.0, 12.0, 0.0});
        form->btnReportClick(form->btnReport);
        dialogs.onModal = nullptr;
    }
};

} // namespace

TEST_F(PreviewTest, ThePreviewKeysWorkAtOnceAndOneEscCloses) {
    openPreview([](ReportPreview& p) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(focus->objectName(), QStringLiteral("pageArea"));
        QTest::keyClick(focus, Qt::Key_Plus);
        EXPECT_DOUBLE_EQ(p.zoom(), 110.0);
        EXPECT_EQ(p.pageFieldText(), QStringLiteral("1")); // nothing typed into it
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Minus);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Minus);
        EXPECT_DOUBLE_EQ(p.zoom(), 90.0);

        // Go to Page takes the keys into the page field; Enter gives them back.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G, Qt::ControlModifier);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("pageField"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Plus);
        EXPECT_DOUBLE_EQ(p.zoom(), 100.0);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(p.isVisible());
        EXPECT_EQ(p.result(), QDialog::Rejected);
    });
}

TEST_F(PreviewTest, ZoomOutTakesTenAwayWhileAboveTenDownToTheSmallestStep) {
    openPreview([](ReportPreview& p) {
        for (auto [from, to] :
             {std::pair{15.0, 5.0}, {10.5, 0.5}, {10.1, 0.1}, {10.0, 10.0}, {5.0, 5.0}}) {
            p.setZoom(from);
            p.zoomOut();
            EXPECT_DOUBLE_EQ(p.zoom(), to) << from;
        }
        p.setZoom(10.5);
        p.zoomOut();
        EXPECT_EQ(p.zoomText(), QStringLiteral("0,5"));
        p.setZoom(12.34); // the zoom is what its field shows
        EXPECT_DOUBLE_EQ(p.zoom(), 12.3);
        p.setZoom(0.01);
        EXPECT_DOUBLE_EQ(p.zoom(), 0.1);
        p.reject();
    });
}

TEST_F(PreviewTest, SaveAsAsksBeforeItReplacesTheFileItAddedTheSuffixFor) {
    const QString pdf = path(QStringLiteral("report.pdf"));
    write(pdf, "kept");
    openPreview([&](ReportPreview& p) {
        // "report" typed, PDF chosen: the dialog asked about "report", which is not there.
        dialogs.saveAnswers.push_back({path(QStringLiteral("report")), 1});
        p.saveAs();
        EXPECT_EQ(dialogs.overwriteQuestions, std::vector<QString>{pdf});
        EXPECT_EQ(contents(pdf), QByteArray("kept"));

        dialogs.overwriteAnswer = true;
        dialogs.saveAnswers.push_back({path(QStringLiteral("report")), 1});
        p.saveAs();
        EXPECT_TRUE(contents(pdf).startsWith("%PDF-"));

        // A name with its suffix was the dialog's to ask about; a new file needs no asking.
        dialogs.saveAnswers.push_back({pdf, 1});
        dialogs.saveAnswers.push_back({path(QStringLiteral("new")), 0});
        p.saveAs();
        p.saveAs();
        EXPECT_EQ(dialogs.overwriteQuestions.size(), 2u);
        EXPECT_TRUE(contents(path(QStringLiteral("new.rps"))).startsWith("KR90XRPS"));
        p.reject();
    });
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(PreviewTest, TheRealSaveDialogAsksAboutTheNameWithItsSuffixOverThePreview) {
    const QString pdf = path(QStringLiteral("report.pdf"));
    TRepSystem engine(qtDialogs);
    ReportPreview preview(compressionDocument(), engine, qtDialogs, QLatin1Char(','));
    for (const bool replace : {false, true}) {
        write(pdf, "kept");
        QString asked;
        later([&] {
            EXPECT_EQ(modal<ReportPreview>(), &preview);
            later([&] {
                QFileDialog* files = modal<QFileDialog>();
                ASSERT_NE(files, nullptr);
                EXPECT_EQ(files->parentWidget(), &preview); // not the program's window
                files->setDirectory(QFileInfo(pdf).path());
                // The user picks the PDF type and types the name without its suffix.
                auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                ASSERT_NE(types, nullptr);
                ASSERT_EQ(types->currentIndex(), 0);
                QTest::keyClick(types, Qt::Key_Down);
                files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                    ->setText(QStringLiteral("report"));
                later([&] {
                    QMessageBox* question = modal<QMessageBox>();
                    ASSERT_NE(question, nullptr);
                    asked = question->text();
                    question->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                });
                static_cast<QDialog*>(files)->accept(); // as its Save button does
                if (files->isVisible()) {
                    files->reject();
                }
            });
            preview.saveAs();
            preview.reject();
        });
        qtDialogs.showModalWindow(preview);
        EXPECT_TRUE(asked.contains(QStringLiteral("report.pdf"))) << asked.toStdString();
        EXPECT_EQ(contents(pdf).startsWith("%PDF-"), replace);
    }
}

// The folder of the last save is where the next Save As opens, in this run and the next.
TEST_F(PreviewTest, TheRealSaveDialogOpensWhereTheLastReportWasSaved) {
    const QString folder = QFileInfo(path(QStringLiteral("x"))).absolutePath();
    TRepSystem engine(qtDialogs);
    engine.saveName = QStringLiteral("AB-123 2026-12-09");
    ReportPreview preview(compressionDocument(), engine, qtDialogs, QLatin1Char(','));
    QStringList opened;
    later([&] {
        later([&] {
            QFileDialog* files = modal<QFileDialog>();
            ASSERT_NE(files, nullptr);
            opened << files->directory().absolutePath();
            EXPECT_EQ(files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(),
                      QStringLiteral("AB-123 2026-12-09"));
            files->setDirectory(folder);
            static_cast<QDialog*>(files)->accept();
        });
        preview.saveAs();
        later([&] {
            QFileDialog* files = modal<QFileDialog>();
            ASSERT_NE(files, nullptr);
            opened << files->directory().absolutePath();
            files->reject();
        });
        preview.saveAs();
        preview.reject();
    });
    qtDialogs.showModalWindow(preview);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("AB-123 2026-12-09.rps"))));
    EXPECT_EQ(SaveFolder::load(), folder);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_NE(opened[0], folder);
    EXPECT_EQ(opened[1], folder);
}

TEST_F(PreviewTest, TheOpenDialogAndTheRefusalBoxBelongToThePreview) {
    const QString damaged = path(QStringLiteral("damaged.rps"));
    write(damaged, writeSnapshot(compressionDocument()).left(100));
    TRepSystem engine(qtDialogs);
    ReportPreview preview(compressionDocument(), engine, qtDialogs, QLatin1Char(','));
    QString refusal;
    later([&] {
        later([&] {
            QFileDialog* files = modal<QFileDialog>();
            ASSERT_NE(files, nullptr);
            EXPECT_EQ(files->parentWidget(), &preview);
            later([&] {
                QMessageBox* box = modal<QMessageBox>();
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->parentWidget(), &preview);
                refusal = box->text();
                box->accept();
            });
            files->selectFile(damaged);
            static_cast<QDialog*>(files)->accept();
        });
        preview.openSnapshot();
        preview.reject();
    });
    qtDialogs.showModalWindow(preview);
    EXPECT_TRUE(refusal.contains(QStringLiteral("damaged or cut short"))) << refusal.toStdString();
    EXPECT_EQ(preview.document().pageCount(), 1);
}

TEST_F(PreviewTest, EscTheTitleBarAndALateCancelAllStopTheStatusWindowsWork) {
    const auto cancelledBy = [&](const std::function<void(StatusWindow&)>& user) {
        return !qtDialogs.runWithStatus(QStringLiteral("Report Status"), [&](StatusReporter& s) {
            s.setStatusText(QStringLiteral("Generating page 1"));
            auto* window = modal<StatusWindow>();
            EXPECT_NE(window, nullptr);
            if (!window) {
                return false;
            }
            EXPECT_EQ(window->windowTitle(), QStringLiteral("Report Status"));
            EXPECT_EQ(window->line->text(), QStringLiteral("Generating page 1"));
            user(*window);
            return !s.cancelRequested();
        });
    };
    EXPECT_FALSE(cancelledBy([](StatusWindow&) {}));
    EXPECT_TRUE(cancelledBy([](StatusWindow& w) { QTest::keyClick(&w, Qt::Key_Escape); }));
    EXPECT_TRUE(cancelledBy([](StatusWindow& w) { w.close(); }));
    // Cancel pressed while the page was being made: still in the queue when asked.
    EXPECT_TRUE(cancelledBy([](StatusWindow& w) {
        QMetaObject::invokeMethod(w.cancel, &QPushButton::click, Qt::QueuedConnection);
    }));
}

TEST_F(PreviewTest, ACancelWhileThePageIsMadeShowsNoPreview) {
    TRepSystem engine(qtDialogs);
    engine.listPrinters = [] { return std::vector<PrinterEntry>{}; };
    later([] {
        if (auto* options = modal<OutputOptionsDialog>()) {
            options->ok->click();
        }
    });
    bool made = false;
    const TRepSystem::Outcome outcome = engine.Execute([&] {
        made = true;
        auto* status = qobject_cast<StatusWindow*>(QApplication::activeModalWidget());
        EXPECT_NE(status, nullptr);
        if (status) {
            QMetaObject::invokeMethod(status->cancel, &QPushButton::click, Qt::QueuedConnection);
        }
        return Page{};
    });
    EXPECT_TRUE(made);
    EXPECT_EQ(outcome, TRepSystem::Outcome::Cancelled);
}
