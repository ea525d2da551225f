#pragma once

#include "update/UpdateFiles.h"

#include <QByteArray>
#include <QString>

namespace kr90x {

class DialogService;
class Log;

// Whether the update flows trust only what the publisher signed, and what they do when
// something is refused. With a public key, the manifest counts only with its signature,
// and every file installed must carry its SHA-256 in that manifest; without one, the
// flows work as they always have.
class UpdateTrust {
public:
    UpdateTrust(Log& log, DialogService& dialogs, QByteArray publicKeyText);

    bool required() const { return !publicKeyText_.isEmpty(); }
    const QByteArray& publicKeyText() const { return publicKeyText_; }

    // What a download must be to be put in place: with a key, its hash is a must.
    InstallRules rules(const NamedHash& hash, bool executable, bool mayBeEmpty) const;

    // An update refused as not authentic: one log line each time, and once in the run a
    // box. Its closing activates the window and so starts the next check, which would
    // otherwise bring the box back without end.
    void refuse(const QString& why);
    // A download refused for its hash is refused as not authentic when a key is set;
    // without one, its log line is all there is, as it always was.
    void refuseIfForged(const QString& fileName, const InstallOutcome& outcome);

private:
    Log& log_;
    DialogService& dialogs_;
    QByteArray publicKeyText_;
    bool told_ = false;
};

} // namespace kr90x
