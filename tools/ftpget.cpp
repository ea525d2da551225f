// Fetches one file with the program's own FTP client and prints every status and error
// event as a line: how a user checks an update server, and what the throughput benchmark
// runs.
//
//   ftpget HOST PORT USER PASSWORD REMOTE LOCAL [TIMEOUT_TICKS]
//
// Exit status: 0 when the file arrived complete, 1 when the transfer failed, 2 on bad
// arguments or when the connection could not even be started.
#include "update/TFtpClient.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

using namespace kr90x;

namespace {

QByteArray printable(QByteArray text) {
    text = text.trimmed();
    text.replace("\r\n", " | ");
    return text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 7 || args.size() > 8) {
        std::fprintf(stderr,
                     "usage: ftpget HOST PORT USER PASSWORD REMOTE LOCAL [TIMEOUT_TICKS]\n");
        return 2;
    }
    TFtpClient client;
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
                             if (!client.Retrieve(remote, local, TFtpRetrieveMode::rmReplace)) {
                                 std::printf("error retrieve-refused\n");
                                 finish(1);
                             }
                             break;
                         case TFtpStatusCode::scTransferOK:
                             finish(0);
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
