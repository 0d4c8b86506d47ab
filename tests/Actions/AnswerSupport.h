#pragma once

#include "Actions/ActionProvider.h"

#include <QtTest>

#include <functional>

// A provider's rows once what its queries read off the GUI thread has come in: asked again
// after every answer that changed them, as the window asks again.
inline QVector<ActionRow> settledRows(ActionProvider &provider, const QString &typed)
{
    int changes = 0;
    provider.setAnswersChanged([&changes] { ++changes; });
    QVector<ActionRow> rows;
    int seen = -1;
    while (seen != changes) {
        seen = changes;
        rows = provider.query(SearchQuery(typed), typed);
        if (!QTest::qWaitFor([&provider] { return !provider.isReading(); }, 10000)) {
            qWarning("a read never came in");
            break;
        }
    }
    provider.setAnswersChanged({});
    return rows;
}
