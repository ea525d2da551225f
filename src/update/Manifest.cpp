#include "update/Manifest.h"

#include <QFile>
#include <QTimeZone>

namespace kr90x {
namespace {

constexpr const char* kExpiryFormat = "yyyy-MM-ddTHH:mm:ssZ";

// Digits only, at most 18 of them: no sign, no blank inside, nothing that overflows.
std::optional<std::uint64_t> sequenceOf(const std::optional<QByteArray>& text) {
    if (!text || text->isEmpty() || text->size() > 18) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::optional<QDateTime> expiryOf(const std::optional<QByteArray>& text) {
    if (!text || text->size() != 20) {
        return std::nullopt;
    }
    // Date and time apart, then put together in UTC: read as one, they would be read as
    // local time, where a time in a daylight-saving gap does not exist.
    const QString t = QString::fromLatin1(*text);
    if (t[10] != QLatin1Char('T') || t[19] != QLatin1Char('Z')) {
        return std::nullopt;
    }
    const QDate date = QDate::fromString(t.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(t.mid(11, 8), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    return QDateTime(date, time, QTimeZone::utc());
}

} // namespace

Manifest parseManifest(QByteArrayView text) {
    Manifest m;
    auto integer = [&](const char* section) {
        const std::optional<QByteArray> v = iniValue(text, section, "Version");
        return v ? iniInteger(*v) : 0;
    };
    m.ProgramVersion = integer(kProgramSection);
    m.FirmwareVersion = integer(kFirmwareSection);
    m.Program = NamedHash::fromText(iniValue(text, kProgramSection, kHashKey));
    m.Firmware = NamedHash::fromText(iniValue(text, kFirmwareSection, kHashKey));
    m.Flasher = NamedHash::fromText(iniValue(text, kFlasherSection, kHashKey));
    m.Sequence = sequenceOf(iniValue(text, kFreshnessSection, kSequenceKey));
    m.Expires = expiryOf(iniValue(text, kFreshnessSection, kExpiresKey));
    return m;
}

Manifest readManifestFile(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return parseManifest(file.read(kMaxManifestBytes));
}

QByteArray expiryText(const QDateTime& utc) {
    return utc.toUTC().toString(QLatin1String(kExpiryFormat)).toLatin1();
}

std::optional<QString> freshnessProblem(const Manifest& manifest, const QDateTime& nowUtc,
                                        std::uint64_t highestAccepted) {
    if (!manifest.Sequence || !manifest.Expires) {
        return QStringLiteral("version.ini no da Sequence y Expires en [Freshness]");
    }
    if (*manifest.Sequence < highestAccepted) {
        return QStringLiteral("version.ini es antiguo (Sequence ") +
               QString::number(*manifest.Sequence) + QStringLiteral(", ya aceptado ") +
               QString::number(highestAccepted) + QLatin1Char(')');
    }
    if (*manifest.Expires <= nowUtc) {
        return QStringLiteral("version.ini caducó el ") +
               QString::fromLatin1(expiryText(*manifest.Expires));
    }
    return std::nullopt;
}

} // namespace kr90x
