#include "update/UpdateConfig.h"

#include "ftp/TFtpClient.h"
#include "core/IniText.h"
#include "update/UpdateSettings.h"
#include "update/UpdateSignature.h"

#include <QFile>
#include <QSslCertificate>
#include <QStandardPaths>

#include <optional>

namespace kr90x {
namespace {

// A settings file is a few lines; a larger one is not read past this.
constexpr qint64 kMaxConfigBytes = 64 * 1024;
constexpr QByteArrayView kServer = "Server";

// The keys of authenticity. A key given is never taken away by a later file: a user's
// settings may name another key, not none. A setting that makes no sense errs on the safe
// side and says so.
void applySecurity(UpdateSettings& settings, QByteArrayView text) {
    if (std::optional<QByteArray> key = iniValue(text, kServer, "PublicKey");
        key && !key->isEmpty()) {
        settings.PublicKey = std::move(*key);
        if (!parsePublicKey(settings.PublicKey)) {
            settings.Warnings << QStringLiteral("Aviso: PublicKey no es una clave (base64 de 32 "
                                                "bytes): no se instalará ninguna actualización");
        }
    }
    if (const std::optional<QByteArray> tls = iniValue(text, kServer, "Tls")) {
        const std::optional<FtpTls> mode = parseFtpTls(QString::fromUtf8(*tls));
        settings.Tls = mode.value_or(FtpTls::Required);
        if (!mode) {
            settings.Warnings << QStringLiteral("Aviso: Tls no es off, try ni required: se usa "
                                                "required");
        }
    }
    if (const std::optional<QByteArray> ca = iniValue(text, kServer, "CaFile")) {
        settings.CaFile = QString::fromUtf8(*ca);
        if (!settings.CaFile.isEmpty() && readCaCertificates(settings.CaFile).isEmpty()) {
            settings.Warnings << QStringLiteral("Aviso: CaFile ") + settings.CaFile +
                                     QStringLiteral(" no tiene certificados: ningún servidor "
                                                    "TLS será aceptado");
        }
    }
}

} // namespace

std::optional<FtpTls> parseFtpTls(QStringView text) {
    const QStringView t = text.trimmed();
    for (const auto& [name, mode] : {std::pair{u"off", FtpTls::Off}, std::pair{u"try", FtpTls::Try},
                                     std::pair{u"required", FtpTls::Required}}) {
        if (t.compare(QStringView(name), Qt::CaseInsensitive) == 0) {
            return mode;
        }
    }
    return std::nullopt;
}

QStringList updateConfigFiles() {
    return {QStringLiteral("/etc/orvo-kr90x/update.conf"),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/orvo-kr90x/update.conf")};
}

bool applyUpdateConfig(UpdateSettings& settings, QByteArrayView text) {
    auto text8 = [&](QByteArrayView key, QString& into) {
        if (const std::optional<QByteArray> v = iniValue(text, kServer, key)) {
            into = QString::fromUtf8(*v);
        }
    };
    auto bytes = [&](QByteArrayView key, QByteArray& into) {
        if (std::optional<QByteArray> v = iniValue(text, kServer, key)) {
            into = std::move(*v);
        }
    };
    text8("Host", settings.ServerAddress);
    text8("Port", settings.Port);
    text8("HostDirectory", settings.HostDirectory);
    bytes("User", settings.UserName);
    bytes("Password", settings.Password);
    if (settings.Port.trimmed().isEmpty()) {
        settings.Port = QStringLiteral("ftp");
    }
    applySecurity(settings, text);
    const std::optional<QByteArray> password = iniValue(text, kServer, "Password");
    return password && !password->isEmpty();
}

void applyUpdateConfigFile(UpdateSettings& settings, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray text = file.read(kMaxConfigBytes);
    const bool holdsPassword = applyUpdateConfig(settings, text);
    if (holdsPassword && (file.permissions() & QFileDevice::ReadOther)) {
        settings.Warnings << QStringLiteral("Aviso: ") + path +
                                 QStringLiteral(" guarda la contraseña y todos los usuarios "
                                                "pueden leerlo (chmod o-r)");
    }
}

} // namespace kr90x
