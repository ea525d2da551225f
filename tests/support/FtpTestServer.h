#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kr90x::test {

// A pyftpdlib server of our own (tests/support/ftp_fault_server.py) in a temp folder on
// 127.0.0.1, on a port it picks itself, with one fault chosen at start.
class FtpTestServer {
public:
    static constexpr const char* User = "orvo";
    static constexpr const char* Password = "secretpassword";

    FtpTestServer() = default;
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Empty text when the server runs, else what went wrong.
    // With `faultFile`, a data fault hits only the files of that name.
    QString start(const QString& fault = {}, double stallSeconds = 0.3,
                  const QString& faultFile = {});

    quint16 port() const { return port_; }
    // Files the server offers live here; downloads go to localDir().
    QString serverFile(const QString& name) const;
    QString localFile(const QString& name) const;
    void putFile(const QString& name, const QByteArray& content) const;
    // Command lines the server received, in order.
    QStringList commands() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

QByteArray patternBytes(qsizetype size);

} // namespace kr90x::test
