#pragma once

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace kr90x {
class VirtualTester;
}

namespace kr90x::sim {

// The simulated tester behind a node of the testbed: takes each output report the
// program writes (65 bytes, report-ID byte first), answers it with the virtual tester's
// logic, and writes the 64 data bytes of the answer back.
class PtyTester : public QObject {
    Q_OBJECT
public:
    // `master` is the testbed's side of the node; it stays the testbed's.
    PtyTester(int master, std::shared_ptr<VirtualTester> logic, QObject* parent = nullptr);
    ~PtyTester() override;

    const VirtualTester& logic() const { return *logic_; }
    VirtualTester& logic() { return *logic_; }
    // The commands received so far, as texts ("KR90X_VERS|", ...).
    const QStringList& commands() const { return commands_; }
    void clearCommands() { commands_.clear(); }
    // Stops answering (the device has been unplugged).
    void stop();

signals:
    void commandReceived(const QString& command);
    // The tester's options say it is pulled out now; whoever plugged it does it.
    void pullOutRequested();

private:
    void readable();
    void send(std::vector<std::uint8_t> input);

    int master_;
    std::shared_ptr<VirtualTester> logic_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<std::uint8_t> pending_;
    QStringList commands_;
};

} // namespace kr90x::sim
