#pragma once

#include "update/UpdateFiles.h"
#include "update/UpdateSettings.h"

#include <QString>

#include <functional>
#include <vector>

namespace kr90x {

class Log;
class TFtpClient;

// The close's part of the updates: drop downloads still connected, put a downloaded new
// program in place of the running one, and remove the manifest and the firmware file.
class ShutdownHousekeeping {
public:
    // A client and the file it downloads; the client may be gone already.
    struct Download {
        TFtpClient* client;
        QString file;
    };

    // How a file gets a new name; tests make it fail.
    using RenameFile = std::function<bool(const QString& from, const QString& to)>;

    ShutdownHousekeeping(UpdateSettings settings, Log& log, std::function<void()> beep,
                         RenameFile rename = renameFile);

    // Deletes every connected client of the list (its events stop at once). With a public
    // key, the new program takes the running one's place only when its bytes, read now,
    // hash as `signedProgram`, the program's hash in the manifest verified in this run.
    void run(const std::vector<Download>& downloads, const NamedHash& signedProgram = {});

    // Runs between the new program's check and its renaming: tests replace it there.
    void setBetweenCheckAndUse(std::function<void()> hook) {
        betweenCheckAndUse_ = std::move(hook);
    }

private:
    void dropDownload(const Download& download);
    void replaceProgram(const NamedHash& signedProgram);

    UpdateSettings settings_;
    Log& log_;
    std::function<void()> beep_;
    RenameFile rename_;
    std::function<void()> betweenCheckAndUse_;
};

} // namespace kr90x
