#include "engine/run/TimeLeft.h"

#include <QLatin1Char>

namespace kavenra {

std::optional<qint64> SecondsLeft(qint64 elapsedMs, int done, int total) {
    if (done <= 0 || total <= done || elapsedMs < 0) return std::nullopt;
    return elapsedMs * (total - done) / done / 1000;
}

QString ClockDuration(qint64 seconds) {
    const qint64 hours = seconds / 3600;
    const qint64 minutes = hours > 0 ? (seconds / 60) % 60 : seconds / 60;
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2").arg(minutes).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0
               ? QStringLiteral("%1:%2").arg(hours).arg(minutesAndSeconds, 5, QLatin1Char('0'))
               : minutesAndSeconds;
}

}  // namespace kavenra
