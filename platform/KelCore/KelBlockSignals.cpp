#include "KelBlockSignals.h"

#include <QObject>

KelBlockSignals::KelBlockSignals(QObject *object)
    : m_object(object)
    , m_wasBlocked(object->blockSignals(true))
{}

KelBlockSignals::~KelBlockSignals()
{
    m_object->blockSignals(m_wasBlocked);
}
