#pragma once

#include <QFile>
#include <QLineEdit>

#include "kelwidgets_export.h"

class QAction;

// A line edit for a file or folder path: trailing buttons to choose the path with a dialog
// and to open it, context-menu conversions between relative, absolute and cleaned-up forms,
// and a red border with "路径不存在" while the path does not exist.
class KELWIDGETS_EXPORT KelPathEdit : public QLineEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KelPathEdit)

public:
    enum Mode { Text = 0, Dir = 1, File = 2 };
    Q_ENUM(Mode)

    explicit KelPathEdit(QWidget *parent = nullptr);
    ~KelPathEdit() override;

    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    void setAllowEmpty(bool allow);
    void setChoosePathActionIcon(const QIcon &icon);
    void setOpenActionIcon(const QIcon &icon);
    bool isExists();
    // The own style sheet; the red border of a missing path is added on top of it.
    void setStyleSheet(const QString &styleSheet);

    static QString toAbsolutePath(const QString &path);
    static QString toRelativePath(const QString &path, const QString &base);

public slots:
    void setChoosePathActionEnable(bool enable);
    void setChoosePathActionAutoHide(bool autoHide);
    void setOpenActionEnable(bool enable);
    void setOpenActionAutoHide(bool autoHide);
    void setStandardPathEnable(bool enable);
    void setPath();
    void openPath();
    void checkPath(QString path);
    void toRelativePath();
    void toAbsolutePath();
    void toStandardPath();
    // Without typographic and straight double quotes, with "/" for every separator, a
    // Windows backslash included.
    QString setStandardPath(QString path);

signals:
    // A path the user chose with the dialog, already set as the text.
    void pathChosen(const QString &path);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void applyButtonVisibility(QAction *action, bool enabled, bool autoHide);

    QAction *m_chooseAction;
    QAction *m_openAction;
    QAction *m_absoluteAction;
    QAction *m_relativeAction;
    QAction *m_standardAction;
    QFile m_file;
    Mode m_mode = Dir;
    QString m_styleSheet;
    bool m_standardPath = false;
    bool m_openEnabled = true;
    bool m_openAutoHide = false;
    bool m_chooseEnabled = true;
    bool m_chooseAutoHide = false;
    bool m_allowEmpty = false;
};
