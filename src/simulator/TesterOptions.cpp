#include "simulator/TesterOptions.h"

#include <QStringList>

#include <algorithm>
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

// One option: whether it takes a value, and how it sets it (the reason when it cannot).
struct Option {
    const char* name;
    bool takesValue;
    const char* (*set)(TesterOptions& o, QStringView value);
};

// Sets `target` to a whole number in [low, high] of `value`; `why` when it is not one.
template <typename T>
const char* setNumber(T& target, QStringView value, int low, int high, const char* why) {
    const std::optional<int> n = number(value, low, high);
    if (!n) {
        return why;
    }
    target = T(*n);
    return nullptr;
}

template <bool TesterOptions::*Flag> const char* setFlag(TesterOptions& o, QStringView) {
    o.*Flag = true;
    return nullptr;
}

const std::array<Option, 12> kOptions = {{
    {"stored", true,
     [](TesterOptions& o, QStringView v) -> const char* {
         for (const auto& [test, name] : kStoredNames) {
             if (v == QLatin1String(name)) {
                 o.stored = test;
                 return nullptr;
             }
         }
         return "stored takes rail, oil, low or manometer";
     }},
    {"firmware", true,
     [](TesterOptions& o, QStringView v) {
         return setNumber(o.firmware, v, 0, 999, "firmware takes a version from 0 to 999");
     }},
    {"samples", true,
     [](TesterOptions& o, QStringView v) {
         return setNumber(o.samples, v, 0, 99999, "samples takes a count from 0 to 99999");
     }},
    {"weak-cylinder", true,
     [](TesterOptions& o, QStringView v) {
         return setNumber(o.weakCylinder, v, 1, 6, "weak-cylinder takes a cylinder from 1 to 6");
     }},
    {"delay", true,
     [](TesterOptions& o, QStringView v) {
         return setNumber(o.delay, v, 0, 60000, "delay takes milliseconds from 0 to 60000");
     }},
    {"pace", true,
     [](TesterOptions& o, QStringView v) {
         return setNumber(o.pace, v, 0, 60000, "pace takes milliseconds from 0 to 60000");
     }},
    {"unplug-after", true,
     [](TesterOptions& o, QStringView v) {
         return setNumber(o.unplugAfter, v, 1, 1000000000,
                          "unplug-after takes a number of reports from 1");
     }},
    {"silent", false, setFlag<&TesterOptions::silent>},
    {"garbage", false, setFlag<&TesterOptions::garbage>},
    {"short", false, setFlag<&TesterOptions::shortReports>},
    {"wrong-prefix", false, setFlag<&TesterOptions::wrongPrefix>},
    {"no-access", false, setFlag<&TesterOptions::noAccess>},
}};

// An option as a message quotes it: one line, of a length one reads.
QString printable(QStringView text) {
    constexpr qsizetype kMost = 40;
    QString out;
    for (QChar c : text.left(kMost)) {
        out += c.isPrint() ? c : QLatin1Char('?');
    }
    return text.size() > kMost ? out + QStringLiteral("...") : out;
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
        const auto bad = [&](const char* why) {
            return ParsedTesterOptions{std::nullopt, QStringLiteral("bad option \"%1\": %2")
                                                         .arg(printable(item),
                                                              QString::fromLatin1(why))};
        };
        const auto option = std::find_if(kOptions.begin(), kOptions.end(), [&](const Option& x) {
            return key == QLatin1String(x.name);
        });
        if (option == kOptions.end()) {
            return bad("unknown option");
        }
        if (option->takesValue != (eq >= 0)) {
            return bad(option->takesValue ? "needs a value" : "takes no value");
        }
        if (const char* why = option->set(o, eq < 0 ? QStringView() : item.mid(eq + 1))) {
            return bad(why);
        }
    }
    return {o, {}};
}

} // namespace kr90x
