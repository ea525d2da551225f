#include "simulator/TesterOptions.h"

#include <QStringList>

#include <array>
#include <utility>

namespace kr90x {
namespace {

constexpr std::array<std::pair<StoredTest, const char*>, 4> kStoredNames = {{
    {StoredTest::Rail, "rail"},
    {StoredTest::Oil, "oil"},
    {StoredTest::LowPressure, "low"},
    {StoredTest::Manometer, "manometer"},
}};

// A whole number in [low, high], or nothing.
std::optional<int> number(QStringView text, int low, int high) {
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < low || n > high) {
        return std::nullopt;
    }
    return static_cast<int>(n);
}

} // namespace

QString storedTestName(StoredTest test) {
    for (const auto& [t, name] : kStoredNames) {
        if (t == test) {
            return QString::fromLatin1(name);
        }
    }
    return {};
}

QString testerOptionsHelp() {
    return QStringLiteral(
        "  stored=rail|oil|low|manometer  the test the tester holds on its high-pressure\n"
        "                                 channel (common rail, oil, low-pressure common\n"
        "                                 rail, 80-bar manometer); rail when not given\n"
        "  firmware=N                     the firmware version it reports (0-999; 12)\n"
        "  samples=N                      the sample count every curve reports (0-99999)\n"
        "  weak-cylinder=N                cylinder N (1-6) has lost compression\n"
        "  silent                         answers nothing\n"
        "  delay=MS                       waits MS milliseconds before each reply\n"
        "  pace=MS                        milliseconds per report (1, as on USB)\n"
        "  unplug-after=N                 is pulled out after N reports\n"
        "  garbage                        letters where the first number of a reply goes\n"
        "  short                          reports cut to their first 12 bytes\n"
        "  wrong-prefix                   replies start with KR90Y\n"
        "  no-access                      found, but this user may not open it\n");
}

ParsedTesterOptions parseTesterOptions(QStringView text) {
    TesterOptions o;
    if (text.trimmed().isEmpty()) {
        return {o, {}};
    }
    for (QStringView item : text.split(u',')) {
        item = item.trimmed();
        const qsizetype eq = item.indexOf(u'=');
        const QStringView key = eq < 0 ? item : item.left(eq);
        const QStringView value = eq < 0 ? QStringView() : item.mid(eq + 1);
        const bool hasValue = eq >= 0;
        const auto bad = [&](const char* why) {
            return ParsedTesterOptions{std::nullopt,
                                       QStringLiteral("bad option \"%1\": %2")
                                           .arg(item.toString(), QString::fromLatin1(why))};
        };
        const auto flag = [&](bool& target) {
            target = true;
            return !hasValue;
        };
        const auto whole = [&](int low, int high) { return number(value, low, high); };

        if (key == u"stored") {
            bool found = false;
            for (const auto& [t, name] : kStoredNames) {
                if (value == QLatin1String(name)) {
                    o.stored = t;
                    found = true;
                }
            }
            if (!found) {
                return bad("stored takes rail, oil, low or manometer");
            }
        } else if (key == u"firmware") {
            const auto n = whole(0, 999);
            if (!n) {
                return bad("firmware takes a version from 0 to 999");
            }
            o.firmware = *n;
        } else if (key == u"samples") {
            o.samples = whole(0, 99999);
            if (!o.samples) {
                return bad("samples takes a count from 0 to 99999");
            }
        } else if (key == u"weak-cylinder") {
            o.weakCylinder = whole(1, 6);
            if (!o.weakCylinder) {
                return bad("weak-cylinder takes a cylinder from 1 to 6");
            }
        } else if (key == u"delay" || key == u"pace") {
            const auto n = whole(0, 60000);
            if (!n) {
                return bad("takes milliseconds from 0 to 60000");
            }
            (key == u"delay" ? o.delay : o.pace) = std::chrono::milliseconds(*n);
        } else if (key == u"unplug-after") {
            o.unplugAfter = whole(1, 1000000000);
            if (!o.unplugAfter) {
                return bad("unplug-after takes a number of reports from 1");
            }
        } else if (key == u"silent" || key == u"garbage" || key == u"short" ||
                   key == u"wrong-prefix" || key == u"no-access") {
            bool& target = key == u"silent"      ? o.silent
                           : key == u"garbage"   ? o.garbage
                           : key == u"short"     ? o.shortReports
                           : key == u"no-access" ? o.noAccess
                                                 : o.wrongPrefix;
            if (!flag(target)) {
                return bad("takes no value");
            }
        } else {
            return bad("unknown option");
        }
        if (!hasValue && (key == u"stored" || key == u"firmware" || key == u"samples" ||
                          key == u"weak-cylinder" || key == u"delay" || key == u"pace" ||
                          key == u"unplug-after")) {
            return bad("needs a value");
        }
    }
    return {o, {}};
}

} // namespace kr90x
