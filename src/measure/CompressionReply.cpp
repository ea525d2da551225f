#include "measure/CompressionReply.h"

namespace kr90x {

Result<CompressionResult, FieldError> parseCompression(QStringView reply, Fuel fuel) {
    const TestFunction& f = compressionFunction(fuel);
    CompressionResult result{fuel, {}};
    for (std::size_t n = 1; n <= kCylinders; ++n) {
        const Result<std::int32_t, FieldError> tenths = readReplyField(
            reply, compressionFieldPosition(static_cast<int>(n)), kCompressionFieldWidth);
        if (!tenths) {
            return fail(tenths.error());
        }
        result.bar[n - 1] = *tenths / f.divisor;
    }
    return result;
}

QStringList compressionLogLines(QStringView reply, Fuel fuel) {
    const QString header = fuel == Fuel::Petrol ? QStringLiteral("Petrol compression")
                                                : QStringLiteral("Diesel compression");
    QStringList lines{QStringLiteral(" "), header, QStringLiteral(" ")};
    for (std::size_t n = 1; n <= kCylinders; ++n) {
        const QStringView field =
            reply.mid(compressionFieldPosition(static_cast<int>(n)) - 1, kCompressionFieldWidth);
        lines.append(QStringLiteral("Cylinder n\u00BA %1..: ").arg(n) + field.left(3).toString() +
                     QLatin1Char(',') + field.mid(3, 1).toString() + QStringLiteral(" Bar"));
    }
    if (fuel == Fuel::Petrol) {
        lines.append(QStringLiteral(" "));
    }
    return lines;
}

} // namespace kr90x
