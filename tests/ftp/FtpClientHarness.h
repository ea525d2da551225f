#pragma once

#include "ftp/TFtpClient.h"
#include "support/FtpTestServer.h"

#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kr90x::test {

// One event as a handler saw it, with the client's state at that moment.
struct FtpEvent {
    bool isError = false;
    int code = 0; // status code number or error code
    QByteArray text;
    TFtpProcessState state = TFtpProcessState::psClosed;
    qint64 bytes = 0;
    bool loggedIn = false;
};

class EventRecorder {
public:
    explicit EventRecorder(TFtpClient& client) {
        QObject::connect(&client, &TFtpClient::OnFtpStatus, &client,
                         [this, &client](TFtpClient*, TFtpStatusCode code, const QByteArray& t) {
                             record({false, int(code), t, client.ProcessState(),
                                     client.BytesTransferred(), client.UserLoggedIn()});
                         });
        QObject::connect(&client, &TFtpClient::OnFtpError, &client,
                         [this, &client](TFtpClient*, int code, const QByteArray& t) {
                             record({true, code, t, client.ProcessState(),
                                     client.BytesTransferred(), client.UserLoggedIn()});
                         });
    }

    // An error event as sequence() names it: a reply code, or one of the client's own
    // (kFtpErrorLocalFile, ...).
    static std::string errorName(int code) { return "error " + std::to_string(code); }

    std::vector<FtpEvent> events;
    // Runs inside the handler, after the event is recorded.
    std::function<void(const FtpEvent&)> onEvent;

    // The events as short names ("scOpen", "error 550"), progress left out.
    std::vector<std::string> sequence() const {
        std::vector<std::string> out;
        for (const FtpEvent& e : events) {
            if (e.isError) {
                out.push_back(errorName(e.code));
            } else if (e.code != int(TFtpStatusCode::scProgress)) {
                out.push_back(statusCodeName(TFtpStatusCode(e.code)));
            }
        }
        return out;
    }
    std::vector<FtpEvent> of(TFtpStatusCode code) const {
        std::vector<FtpEvent> out;
        for (const FtpEvent& e : events) {
            if (!e.isError && e.code == int(code)) {
                out.push_back(e);
            }
        }
        return out;
    }
    bool seen(TFtpStatusCode code) const { return !of(code).empty(); }
    bool seenError() const {
        for (const FtpEvent& e : events) {
            if (e.isError) {
                return true;
            }
        }
        return false;
    }

private:
    void record(FtpEvent e) {
        events.push_back(e);
        if (onEvent) {
            onEvent(events.back());
        }
    }
};

inline void configure(TFtpClient& client, const FtpTestServer& server) {
    client.ServerAddress = "127.0.0.1";
    client.WsPort = QString::number(server.port());
    client.UserName = FtpTestServer::User;
    client.Password = FtpTestServer::Password;
    client.PassiveMode = true;
}

// Bounded wait on a condition while the event loop runs.
inline bool waitFor(const std::function<bool()>& condition, int boundMs = 20000) {
    return QTest::qWaitFor(condition, boundMs);
}

// Runs the event loop until what the client has queued so far is delivered: its events
// queued before this call come before the marker this queues.
inline bool deliverQueued(TFtpClient& client) {
    bool delivered = false;
    QMetaObject::invokeMethod(
        &client, [&] { delivered = true; }, Qt::QueuedConnection);
    return waitFor([&] { return delivered; });
}

inline bool loginAndWait(TFtpClient& client, EventRecorder& rec) {
    client.Login();
    return waitFor([&] { return rec.seen(TFtpStatusCode::scLogin) || rec.seenError(); }) &&
           client.ProcessState() == TFtpProcessState::psIdle;
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Seq = std::vector<std::string>;

// One client against one server of its own, started with the fault the test names.
class FtpServerTest : public ::testing::Test {
protected:
    void startServer(const QString& fault, double stallSeconds = 0.3) {
        const QString error = server.start(fault, stallSeconds);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        configure(client, server);
    }
    // Logs in and starts fetching `file` (the server holds `content` under that name).
    void startRetrieve(const QByteArray& content) {
        server.putFile("file", content);
        ASSERT_TRUE(loginAndWait(client, rec));
        ASSERT_TRUE(
            client.Retrieve("/file", server.localFile("file"), TFtpRetrieveMode::rmReplace));
    }
    bool waitEnd() {
        return waitFor([&] {
            return rec.seen(TFtpStatusCode::scTransferOK) || rec.seenError() ||
                   rec.seen(TFtpStatusCode::scTimeout) || rec.seen(TFtpStatusCode::scLogout);
        });
    }

    FtpTestServer server;
    TFtpClient client;
    EventRecorder rec{client};
};

} // namespace kr90x::test
