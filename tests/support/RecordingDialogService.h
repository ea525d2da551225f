#pragma once

#include "reports/ReportDialogs.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <vector>

namespace kr90x::test {

// Records every box and report window the program asks for and answers at once, as the
// test says, so no test blocks.
class RecordingDialogService : public reports::ReportDialogs {
public:
    using OutputOptionsRequest = reports::OutputOptionsRequest;
    using OutputOptionsAnswer = reports::OutputOptionsAnswer;
    using StatusReporter = reports::StatusReporter;
    using ReportDestination = reports::ReportDestination;

public:
    void showBox(const MessageBox& box) override {
        boxes.push_back(box);
        if (onBox) {
            onBox(box);
        }
    }
    // Runs while the box is "open": a test that lets the event loop run here sees what a
    // real modal box lets happen.
    std::function<void(const MessageBox&)> onBox;

    // "Output Options": the answer the test gives (by default OK with the choices the
    // dialog opens with: Preview).
    OutputOptionsAnswer outputOptions(const OutputOptionsRequest& request) override {
        optionRequests.push_back(request);
        if (answerOptions) {
            return answerOptions(request);
        }
        OutputOptionsAnswer a;
        a.accepted = true;
        a.copiesText = QString::number(request.copies);
        a.collate = request.collate;
        a.duplex = request.duplex;
        a.destination =
            request.printRangeForm ? ReportDestination::Printer : ReportDestination::Preview;
        a.toPage = request.pageCount;
        return a;
    }
    std::vector<OutputOptionsRequest> optionRequests;
    std::function<OutputOptionsAnswer(const OutputOptionsRequest&)> answerOptions;

    // The status window: its caption and every line it showed; Cancel when the test says.
    bool runWithStatus(const QString& caption,
                       const std::function<bool(StatusReporter&)>& work) override {
        statusCaptions.push_back(caption);
        struct Reporter : StatusReporter {
            RecordingDialogService& owner;
            explicit Reporter(RecordingDialogService& o) : owner(o) {}
            void setStatusText(const QString& text) override { owner.statusTexts.push_back(text); }
            bool cancelRequested() const override { return owner.cancelStatus; }
        } reporter(*this);
        return work(reporter);
    }
    std::vector<QString> statusCaptions;
    std::vector<QString> statusTexts;
    bool cancelStatus = false;

    // Modal windows (the preview): the test looks at them while they are "open".
    void showModalWindow(QDialog& window) override {
        modalTitles.push_back(window.windowTitle());
        if (onModal) {
            onModal(window);
        }
    }
    std::vector<QString> modalTitles;
    std::function<void(QDialog&)> onModal;

    // File dialogs: the names the test queued, in order; empty when none is left.
    QString saveFileName(const QString& caption, const QStringList& filters, int& filterIndex,
                         const QString& suggested) override {
        saveCaptions.push_back(caption);
        saveFilters = filters;
        saveSuggested.push_back(suggested);
        if (saveAnswers.empty()) {
            return {};
        }
        auto [name, index] = saveAnswers.front();
        saveAnswers.pop_front();
        filterIndex = index;
        return name;
    }
    std::vector<QString> saveSuggested;
    QString openFileName(const QString& caption, const QStringList& filters) override {
        (void)caption;
        openFilters = filters;
        if (openAnswers.empty()) {
            return {};
        }
        QString name = openAnswers.front();
        openAnswers.pop_front();
        return name;
    }
    // Replacing an existing file: the names asked about, and the answer (no, by default).
    bool confirmOverwrite(const QString& fileName) override {
        overwriteQuestions.push_back(fileName);
        return overwriteAnswer;
    }
    std::vector<QString> overwriteQuestions;
    bool overwriteAnswer = false;

    // The printer setup: the test plays the user on the printer (cancelled when it does not).
    bool printerSetup(QPrinter& printer) override {
        ++printerSetups;
        return answerPrinterSetup && answerPrinterSetup(printer);
    }
    int printerSetups = 0;
    std::function<bool(QPrinter&)> answerPrinterSetup;

    std::vector<QString> saveCaptions;
    QStringList saveFilters;
    QStringList openFilters;
    std::deque<std::pair<QString, int>> saveAnswers;
    std::deque<QString> openAnswers;

    std::vector<MessageBox> boxes;
};

} // namespace kr90x::test
