#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace kr90x::test {

// An FTP server of the tests in a temp folder on 127.0.0.1, on a free port: our own
// pyftpdlib server (tests/support/ftp_fault_server.py) with one fault chosen at start, or
// a real vsftpd with its own configuration (tests/support/vsftpd_server.py).
class FtpTestServer {
public:
    static constexpr const char* User = "orvo";
    static constexpr const char* Password = "secretpassword";
    // vsftpd's account: anonymous, any password.
    static constexpr const char* VsftpdUser = "anonymous";
    static constexpr const char* VsftpdPassword = "kr90x";

    FtpTestServer() = default;
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Empty text when the server runs, else what went wrong.
    // With `faultFile`, a data fault hits only the files of that name.
    QString start(const QString& fault = {}, double stallSeconds = 0.3,
                  const QString& faultFile = {});
    // vsftpd with explicit TLS, required for the login and the files.
    struct Tls {
        QString certificate; // PEM files
        QString key;
        bool sessionReuse = true; // require_ssl_reuse, vsftpd's default
    };
    // Empty text when vsftpd runs, else what went wrong.
    QString startVsftpd(const std::optional<Tls>& tls = std::nullopt);
    // Our own server with explicit TLS, whose data connections show `dataCertificate`
    // (with the same key) instead of the control connection's, and one fault.
    QString startTls(const Tls& tls, const QString& dataCertificate, const QString& fault = {});
    // Ends the "hold" fault: the held transfer goes out now.
    void release() const;

    quint16 port() const { return port_; }
    // Files the server offers live here; downloads go to localDir().
    QString serverFile(const QString& name) const;
    // The path the server knows a served file by. A vsftpd that cannot shut itself in
    // its folder (not started by root) knows the folder by its real path.
    QByteArray remotePath(const QString& name) const;
    QString localFile(const QString& name) const;
    void putFile(const QString& name, const QByteArray& content) const;
    // Command lines the server received, in order.
    QStringList commands() const;

private:
    QString startOwn(const QStringList& arguments);
    QString waitForPort();

    QTemporaryDir dir_;
    bool vsftpd_ = false;
    QProcess process_;
    quint16 port_ = 0;
};

QByteArray patternBytes(qsizetype size);

// The certificates of the TLS tests, made with openssl in a temp folder when built
// (tests/support/make_test_certs.sh names them): "ca.pem", "server.key", and the server
// certificates "good.pem", "otherhost.pem", "expired.pem", "selfsigned.pem".
class TestCertificates {
public:
    TestCertificates();
    // Empty when they were made, else what went wrong.
    const QString& error() const { return error_; }
    QString path(const QString& name) const { return dir_.filePath(name); }
    FtpTestServer::Tls serverTls(const QString& certificate, bool sessionReuse = true) const {
        return {path(certificate), path("server.key"), sessionReuse};
    }

private:
    QTemporaryDir dir_;
    QString error_;
};

} // namespace kr90x::test
