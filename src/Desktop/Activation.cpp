#include "Activation.h"

#include <QRegularExpression>
#include <QX11Info>

QString Activation::callerToken()
{
    const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    return startupId.isEmpty() ? qEnvironmentVariable("XDG_ACTIVATION_TOKEN") : startupId;
}

void Activation::prepare(const QString &token)
{
    if (token.isEmpty() || !QX11Info::isPlatformX11())
        return;
    static const QRegularExpression time(QStringLiteral("_TIME(\\d+)$"));
    const QRegularExpressionMatch match = time.match(token);
    if (match.hasMatch()) {
        const unsigned long userTime = match.captured(1).toULong();
        QX11Info::setAppTime(userTime);
        QX11Info::setAppUserTime(userTime);
    }
    QX11Info::setNextStartupId(token.toUtf8());
}
