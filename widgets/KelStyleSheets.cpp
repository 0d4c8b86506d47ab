#include "KelStyleSheets.h"

#include <QRegularExpression>

#include <private/qcssparser_p.h>

QString KelStyleSheets::toQss(const QString &text, bool simplified)
{
    static const QRegularExpression definition(QStringLiteral("(\\$\\S+ ?)=([ \\w%#\"():\\.,]+);"));

    // A space before every "$" keeps the greedy name from running across definitions written
    // back to back.
    QString working = text;
    working.replace(QLatin1Char('$'), QLatin1String(" $"));

    const QString snapshot = working;
    QRegularExpressionMatchIterator it = definition.globalMatch(snapshot);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        working.remove(match.captured(0));
        working.replace(match.captured(1).simplified(), match.captured(2));
    }
    return simplified ? working.simplified() : working;
}

bool KelStyleSheets::isStyleSheetValid(const QString &styleSheet)
{
    QCss::Parser parser(styleSheet);
    QCss::StyleSheet sheet;
    return parser.parse(&sheet, Qt::CaseSensitive);
}
