#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(kelElapsed)

// A scoped stopwatch: when it goes out of scope it reports its label, "%1" replaced by the
// elapsed milliseconds, as a debug message of the category "kel.elapsed".
class KelElapsedTimer final
{
public:
    explicit KelElapsedTimer(const QString &label);
    ~KelElapsedTimer();

    KelElapsedTimer(const KelElapsedTimer &) = delete;
    KelElapsedTimer &operator=(const KelElapsedTimer &) = delete;

private:
    QString m_label;
    QElapsedTimer m_timer;
};
