#include "update/UpdateConfig.h"

#include "update/IniText.h"
#include "update/UpdateSettings.h"

#include <QFile>
#include <QStandardPaths>

#include <optional>

namespace kr90x {
namespace {

// A settings file is a few lines; a larger one is not read past this.
constexpr qint64 kMaxConfigBytes = 64 * 1024;
constexpr QByteArrayView kServer = "Server";

} // namespace

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
