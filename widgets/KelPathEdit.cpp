#include "KelPathEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QStyle>
#include <QUrl>

#include <memory>

KelPathEdit::KelPathEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_chooseAction(new QAction(QStringLiteral("重新选择"), this))
    , m_openAction(new QAction(QStringLiteral("打开"), this))
    , m_absoluteAction(new QAction(QStringLiteral("转为绝对路径"), this))
    , m_relativeAction(new QAction(QStringLiteral("转为相对路径"), this))
    , m_standardAction(new QAction(QStringLiteral("纠正路径"), this))
{
    m_chooseAction->setObjectName(QStringLiteral("actionChoosePath"));
    setOpenActionIcon(QIcon());
    addAction(m_openAction, QLineEdit::TrailingPosition);
    setChoosePathActionIcon(QIcon());
    addAction(m_chooseAction, QLineEdit::TrailingPosition);

    setMode(Dir);

    connect(m_chooseAction, &QAction::triggered, this, &KelPathEdit::setPath);
    connect(m_openAction, &QAction::triggered, this, &KelPathEdit::openPath);
    connect(m_relativeAction, &QAction::triggered, this, qOverload<>(&KelPathEdit::toRelativePath));
    connect(m_absoluteAction, &QAction::triggered, this, qOverload<>(&KelPathEdit::toAbsolutePath));
    connect(m_standardAction, &QAction::triggered, this, &KelPathEdit::toStandardPath);
    connect(this, &QLineEdit::textChanged, this, &KelPathEdit::checkPath);
}

KelPathEdit::~KelPathEdit() = default;

void KelPathEdit::setChoosePathActionIcon(const QIcon &icon)
{
    m_chooseAction->setIcon(icon.isNull() ? style()->standardIcon(QStyle::SP_DirOpenIcon) : icon);
}

void KelPathEdit::setOpenActionIcon(const QIcon &icon)
{
    m_openAction->setIcon(icon.isNull() ? style()->standardIcon(QStyle::SP_CommandLink) : icon);
}

void KelPathEdit::applyButtonVisibility(QAction *action, bool enabled, bool autoHide)
{
    if (!autoHide)
        action->setVisible(enabled);
}

void KelPathEdit::setChoosePathActionEnable(bool enable)
{
    m_chooseEnabled = enable;
    applyButtonVisibility(m_chooseAction, m_chooseEnabled, m_chooseAutoHide);
}

void KelPathEdit::setOpenActionEnable(bool enable)
{
    m_openEnabled = enable;
    applyButtonVisibility(m_openAction, m_openEnabled, m_openAutoHide);
}

void KelPathEdit::setChoosePathActionAutoHide(bool autoHide)
{
    m_chooseAutoHide = autoHide;
    m_chooseAction->setVisible(!autoHide && m_chooseEnabled);
}

void KelPathEdit::setOpenActionAutoHide(bool autoHide)
{
    m_openAutoHide = autoHide;
    m_openAction->setVisible(!autoHide && m_openEnabled);
}

void KelPathEdit::setMode(Mode mode)
{
    m_mode = mode;
    switch (mode) {
    case Text:
        setOpenActionEnable(false);
        setChoosePathActionEnable(false);
        break;
    case Dir:
        setOpenActionEnable(true);
        setChoosePathActionEnable(true);
        m_openAction->setToolTip(QStringLiteral("打开文件夹"));
        m_chooseAction->setToolTip(QStringLiteral("选择文件夹"));
        break;
    case File:
        setOpenActionEnable(true);
        setChoosePathActionEnable(true);
        m_openAction->setToolTip(QStringLiteral("打开文件"));
        m_chooseAction->setToolTip(QStringLiteral("选择文件"));
        break;
    }
}

void KelPathEdit::setAllowEmpty(bool allow)
{
    m_allowEmpty = allow;
}

void KelPathEdit::setStandardPathEnable(bool enable)
{
    m_standardPath = enable;
    if (enable)
        checkPath(text());
}

void KelPathEdit::setPath()
{
    // An empty field starts at home, not in the program's working directory.
    const QString start = text().isEmpty() ? QDir::homePath() : text();
    QString path;
    if (m_mode == Dir)
        path = QFileDialog::getExistingDirectory(this, QStringLiteral("选择路径"), start,
                                                 QFileDialog::ShowDirsOnly);
    else if (m_mode == File)
        path = QFileDialog::getOpenFileName(this, QStringLiteral("文件"), start);
    if (path.isEmpty())
        return;
    setText(path);
    emit pathChosen(path);
}

void KelPathEdit::openPath()
{
    if (isExists())
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(text()).absoluteFilePath()));
}

void KelPathEdit::checkPath(QString path)
{
    if (m_standardPath) {
        const QString cleaned = setStandardPath(path);
        if (cleaned != text()) {
            const int cursor = cursorPosition();
            setText(cleaned);
            setCursorPosition(cursor);
        }
        m_file.setFileName(cleaned);
    } else {
        m_file.setFileName(path);
    }
    isExists();
}

bool KelPathEdit::isExists()
{
    const bool exists = (text().isEmpty() && m_allowEmpty) || m_mode == Text || m_file.exists();
    if (exists) {
        QLineEdit::setStyleSheet(m_styleSheet);
        setToolTip(text());
    } else {
        QLineEdit::setStyleSheet(m_styleSheet +
                                 QStringLiteral("QLineEdit{ border:1px solid #dd4f43;}"));
        setToolTip(QStringLiteral("路径不存在"));
    }
    return exists;
}

QString KelPathEdit::setStandardPath(QString path)
{
    path.remove(QChar(0x201C)).remove(QChar(0x201D)).remove(QLatin1Char('"'));
    // Paths pasted from Windows carry backslashes, which are no separator here.
    return QDir::fromNativeSeparators(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

void KelPathEdit::toStandardPath()
{
    setText(setStandardPath(text()));
}

void KelPathEdit::toAbsolutePath()
{
    setText(toAbsolutePath(text()));
}

void KelPathEdit::toRelativePath()
{
    setText(toRelativePath(text(), QDir::currentPath()));
}

QString KelPathEdit::toAbsolutePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

QString KelPathEdit::toRelativePath(const QString &path, const QString &base)
{
    return QDir(base).relativeFilePath(path);
}

void KelPathEdit::setStyleSheet(const QString &styleSheet)
{
    m_styleSheet = styleSheet;
    QLineEdit::setStyleSheet(styleSheet);
}

void KelPathEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // Built at every right click: the standard entries (undo, copy, paste…) are enabled for the
    // text and selection of this moment.
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    menu->addActions(
        {m_openAction, m_chooseAction, m_standardAction, m_absoluteAction, m_relativeAction});
    menu->exec(event->globalPos());
}

void KelPathEdit::enterEvent(QEvent *event)
{
    isExists();
    if (m_openAutoHide && m_openEnabled)
        m_openAction->setVisible(true);
    if (m_chooseAutoHide && m_chooseEnabled)
        m_chooseAction->setVisible(true);
    QLineEdit::enterEvent(event);
}

void KelPathEdit::leaveEvent(QEvent *event)
{
    if (m_openAutoHide && m_openEnabled)
        m_openAction->setVisible(false);
    if (m_chooseAutoHide && m_chooseEnabled)
        m_chooseAction->setVisible(false);
    QLineEdit::leaveEvent(event);
}
