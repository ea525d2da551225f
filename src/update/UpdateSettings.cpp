#include "update/UpdateSettings.h"

#include "ftp/TFtpClient.h"
#include "update/UpdateConfig.h"
#include "update/UpdateDefaults.h"
#include "update/UpdateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

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
    s.PublicKey = QByteArray(build::kUpdatePublicKey).trimmed();
    s.Tls = parseFtpTls(QString::fromUtf8(build::kUpdateTls)).value_or(FtpTls::Required);
    return s;
}

UpdateSettings UpdateSettings::forRunningProgram(const QString& programDirectory) {
    UpdateSettings s = fromBuild(programDirectory);
    for (const QString& path : updateConfigFiles()) {
        applyUpdateConfigFile(s, path);
    }
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/orvo-kr90x");
    s.SequenceFile = dataFolder + QStringLiteral("/update.sequence");
    s.placeDownloads(build::kSelfUpdate, dataFolder);
    return s;
}

void UpdateSettings::placeDownloads(bool buildUpdatesItself, const QString& dataDirectory) {
    if (!buildUpdatesItself) {
        SelfUpdateBlocked = QStringLiteral("lo actualiza el sistema de paquetes");
    } else if (ProgramDirectory.isEmpty() ||
               ::access(QFile::encodeName(ProgramDirectory).constData(), W_OK | X_OK) != 0) {
        SelfUpdateBlocked = QStringLiteral("sin permiso de escritura en ") + ProgramDirectory;
    }
    if (!SelfUpdateBlocked) {
        return;
    }
    // A folder we cannot make leaves the downloads without a place: the flows then touch
    // no files, quietly.
    DataDirectory = QDir().mkpath(dataDirectory) ? dataDirectory : QString();
    if (DataDirectory.isEmpty()) {
        ProgramDirectory.clear();
    }
}

QByteArray UpdateSettings::remotePath(const QString& fileName) const {
    const QString directory = HostDirectory.isEmpty() ? ServerAddress : HostDirectory;
    return "/" + directory.toLatin1() + "/KR90X/" + fileName.toLatin1();
}

QString UpdateSettings::localPath(const QString& fileName) const {
    const bool programFile = fileName == files::Program || fileName == files::NewProgram ||
                             fileName == files::OldProgram;
    const QString& folder =
        programFile || DataDirectory.isEmpty() ? ProgramDirectory : DataDirectory;
    if (folder.isEmpty()) {
        return {};
    }
    return QDir(folder).filePath(fileName);
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
    client.Tls = Tls;
    client.CaFile = CaFile;
}

// In its own folder, where the flashing tool looks for the firmware beside it, whatever
// folder the program itself was started in.
void startDetachedProgram(const QString& program, const QStringList& arguments) {
    QProcess::startDetached(program, arguments, QFileInfo(program).absolutePath());
}

} // namespace kr90x
