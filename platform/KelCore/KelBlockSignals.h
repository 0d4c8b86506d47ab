#pragma once

class QObject;

// Keeps an object's signals blocked for its own lifetime and then restores the state it found,
// so guards can nest.
class KelBlockSignals final
{
public:
    explicit KelBlockSignals(QObject *object);
    ~KelBlockSignals();

    KelBlockSignals(const KelBlockSignals &) = delete;
    KelBlockSignals &operator=(const KelBlockSignals &) = delete;

private:
    QObject *m_object;
    bool m_wasBlocked;
};
