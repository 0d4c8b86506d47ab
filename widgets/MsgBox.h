#pragma once

#include <QDialog>

class QLabel;

// The window behind KelMessageBox: owns itself and is gone at the end of its duration.
class MsgBox final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MsgBox)

public:
    MsgBox(const QString &text, int duration);

    QLabel *label() const { return m_label; }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_opaque = false;
    int m_duration;
    QLabel *m_label;
};
