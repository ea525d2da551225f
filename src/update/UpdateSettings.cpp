#include "update/UpdateSettings.h"

#include "update/TFtpClient.h"
#include "update/UpdateDefaults.h"

#include <QDir>
#include <QProcess>

namespace kr90x {

UpdateSettings UpdateSettings::fromBuild(const QString& programDirectory) {
    UpdateSettings s;
    s.ProgramDirectory = programDirectory;
    s.ServerAddress = QString::fromUtf8(build::kUpdateHost);
    s.Port = QString::fromUtf8(build::kUpdatePort);
    if (s.Port.isEmpty()) {
        s.Port = QStringLiteral("ftp");
    }
    s.UserName = QByteArray(build::kUpdateUser);
    s.Password = QByteArray(build::kUpdatePassword);
    s.HostDirectory = QString::fromUtf8(build::kUpdateHostDirectory);
    if (s.HostDirectory.isEmpty()) {
        s.HostDirectory = s.ServerAddress;
    }
    return s;
}

QByteArray UpdateSettings::remotePath(const QString& fileName) const {
    return "/" + HostDirectory.toLatin1() + "/KR90X/" + fileName.toLatin1();
}

QString UpdateSettings::localPath(const QString& fileName) const {
    if (ProgramDirectory.isEmpty()) {
        return {};
    }
    return QDir(ProgramDirectory).filePath(fileName);
}

void UpdateSettings::configure(TFtpClient& client) const {
    client.ServerAddress = ServerAddress;
    client.WsPort = Port;
    client.UserName = UserName;
    client.Password = Password;
    client.PassiveMode = true;
    client.FileType = TFtpFileType::ftBinary;
    client.TransferTimeout = 1092;
    client.ConnectTimeout = 0;
}

void startDetachedProgram(const QString& program, const QStringList& arguments) {
    QProcess::startDetached(program, arguments);
}

} // namespace kr90x
