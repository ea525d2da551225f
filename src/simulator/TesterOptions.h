#pragma once

#include <QString>
#include <QStringView>

#include <chrono>
#include <optional>

namespace kr90x {

// Which of the tests that share the high-pressure channel the tester holds: the one the
// mechanic ran on it last (a real tester keeps one).
enum class StoredTest { Rail, Oil, LowPressure, Manometer };

// What a simulated tester holds and how it behaves: the situations a real tester (or its
// cable) produces, chosen on the command line ("stored=oil,firmware=11,delay=200").
struct TesterOptions {
    StoredTest stored = StoredTest::Rail;
    int firmware = 12;
    std::optional<int> samples; // the count every curve reports; each curve's own if unset
    bool silent = false;
    std::chrono::milliseconds delay{0}; // before each reply
    std::chrono::milliseconds pace{1};  // per report: a full-speed USB device's frame
    std::optional<int> unplugAfter;     // pulled out after this many reports
    bool garbage = false;               // the first number of each reply holds letters
    bool shortReports = false;          // reports cut to their first 12 bytes
    bool wrongPrefix = false;           // replies start "KR90Y"
    bool noAccess = false;              // found, but this user may not open it
    std::optional<int> weakCylinder;    // 1 to 6: that cylinder has lost compression
};

struct ParsedTesterOptions {
    std::optional<TesterOptions> options; // set when the text was good
    QString error;                        // else why not, in one line
};

// Reads the options after "--virtual-tester=" (empty: the defaults).
ParsedTesterOptions parseTesterOptions(QStringView text);
// The accepted options, one per line, for --help and for a bad option.
QString testerOptionsHelp();
// A stored test's name as the options write it ("rail", "oil", "low", "manometer").
QString storedTestName(StoredTest test);

} // namespace kr90x
