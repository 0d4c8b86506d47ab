#include "KelElapsedTimer.h"

Q_LOGGING_CATEGORY(kelElapsed, "kel.elapsed")

KelElapsedTimer::KelElapsedTimer(const QString &label)
    : m_label(label)
{
    m_timer.start();
}

KelElapsedTimer::~KelElapsedTimer()
{
    qCDebug(kelElapsed).noquote() << m_label.arg(m_timer.elapsed());
}
