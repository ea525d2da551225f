// Fetches one file with the program's own FTP client and prints every status and error
// event as a line: how a user checks an update server, and what the throughput benchmark
// runs.
//
//   ftpget [--tls off|try|required] [--ca-file FILE] HOST PORT USER PASSWORD REMOTE LOCAL
//          [TIMEOUT_TICKS]
//
// The file is fetched under a temporary name beside LOCAL and gets LOCAL's name only once
// it arrived complete: a LOCAL that was there survives a failure, and no part of a file
// is ever left under its name. TIMEOUT_TICKS (of 55 ms) bounds every silence, from the
// connection and the server's greeting on. --tls and --ca-file are the settings files'
// Tls and CaFile: FTP over TLS, and the CA certificates that vouch for the server.
//
// Exit status: 0 when the file arrived complete, 1 when the transfer failed, 2 on bad
// arguments or when the connection could not even be started.
#include "ftp/TFtpClient.h"
#include "update/UpdateConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace kr90x;

namespace {

QByteArray printable(QByteArray text) {
    text = text.trimmed();
    text.replace("\r\n", " | ");
    return text;
}

constexpr const char* kUsage = "usage: ftpget [--tls off|try|required] [--ca-file FILE] HOST PORT "
                               "USER PASSWORD REMOTE LOCAL [TIMEOUT_TICKS]\n";

// Takes the options out of `args`, leaving the program name and the positional ones.
bool takeOptions(QStringList& args, TFtpClient& client) {
    for (qsizetype i = 1; i < args.size();) {
        const QString& option = args[i];
        if (option != QLatin1String("--tls") && option != QLatin1String("--ca-file")) {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) {
            return false;
        }
        if (option == QLatin1String("--tls")) {
            const std::optional<FtpTls> mode = parseFtpTls(args[i + 1]);
            if (!mode) {
                return false;
            }
            client.Tls = *mode;
        } else {
            client.CaFile = args[i + 1];
        }
        args.remove(i, 2);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    TFtpClient client;
    if (!takeOptions(args, client) || args.size() < 7 || args.size() > 8) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    client.ServerAddress = args[1];
    client.WsPort = args[2];
    client.UserName = args[3].toLocal8Bit();
    client.Password = args[4].toLocal8Bit();
    client.PassiveMode = true;
    if (args.size() == 8) {
        bool ok = false;
        client.TransferTimeout = args[7].toInt(&ok);
        if (!ok) {
            std::fprintf(stderr, "ftpget: bad time-out: %s\n", qPrintable(args[7]));
            return 2;
        }
    }
    const QByteArray remote = args[5].toLocal8Bit();
    const QString local = args[6];
    // Removed again when ftpget ends, unless it became LOCAL.
    QTemporaryFile part(QFileInfo(local).absolutePath() + "/." + QFileInfo(local).fileName() +
                        ".XXXXXX.part");
    if (!part.open()) {
        std::fprintf(stderr, "ftpget: cannot write beside %s: %s\n", qPrintable(local),
                     qPrintable(part.errorString()));
        return 2;
    }
    part.close();
    const QString partName = part.fileName();

    int result = 1;
    bool finished = false;
    auto finish = [&](int code) {
        if (finished) {
            return;
        }
        finished = true;
        result = code;
        client.Logout();
        app.exit(result);
    };

    QObject::connect(&client, &TFtpClient::OnFtpStatus, &app,
                     [&](TFtpClient*, TFtpStatusCode code, const QByteArray& info) {
                         if (code == TFtpStatusCode::scProgress) {
                             std::printf("status %s %lld\n", statusCodeName(code),
                                         static_cast<long long>(client.BytesTransferred()));
                         } else {
                             std::printf("status %s %s\n", statusCodeName(code),
                                         printable(info).constData());
                         }
                         switch (code) {
                         case TFtpStatusCode::scLogin:
                             if (!client.Retrieve(remote, partName, TFtpRetrieveMode::rmReplace)) {
                                 std::printf("error retrieve-refused\n");
                                 finish(1);
                             }
                             break;
                         case TFtpStatusCode::scTransferOK:
                             // rename(2) replaces LOCAL in one step.
                             if (std::rename(QFile::encodeName(partName).constData(),
                                             QFile::encodeName(local).constData()) != 0) {
                                 std::printf("error rename %s\n", std::strerror(errno));
                                 finish(1);
                             } else {
                                 finish(0);
                             }
                             break;
                         case TFtpStatusCode::scTimeout:
                             finish(1);
                             break;
                         case TFtpStatusCode::scClose:
                         case TFtpStatusCode::scLogout:
                             if (!finished) {
                                 finished = true;
                                 app.exit(1);
                             }
                             break;
                         default:
                             break;
                         }
                     });
    QObject::connect(&client, &TFtpClient::OnFtpError, &app,
                     [&](TFtpClient*, int code, const QByteArray& text) {
                         std::printf("error %d %s\n", code, printable(text).constData());
                         finish(1);
                     });
    try {
        client.Login();
    } catch (const FtpException& e) {
        std::printf("error login %s\n", e.what());
        return 2;
    }
    app.exec();
    std::fflush(stdout);
    return result;
}
