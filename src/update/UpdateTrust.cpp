#include "update/UpdateTrust.h"

#include "core/DialogService.h"
#include "core/Log.h"

namespace kr90x {

UpdateTrust::UpdateTrust(Log& log, DialogService& dialogs, QByteArray publicKeyText)
    : log_(log), dialogs_(dialogs), publicKeyText_(publicKeyText.trimmed()) {}

InstallRules UpdateTrust::rules(const NamedHash& hash, bool executable, bool mayBeEmpty) const {
    return {hash, executable, mayBeEmpty, required(), {}};
}

void UpdateTrust::refuse(const QString& why) {
    log_.add(QStringLiteral("Actualización rechazada: ") + why);
    if (std::exchange(told_, true)) {
        return;
    }
    dialogs_.information(QStringLiteral(
        "La actualización no es auténtica (firma o SHA256 incorrectos).\r\nNo se ha instalado "
        "nada."));
}

void UpdateTrust::refuseIfForged(const QString& fileName, const InstallOutcome& outcome) {
    if (required() && outcome.hashRefused()) {
        refuse(notInstalledLine(fileName, outcome));
    }
}

} // namespace kr90x
