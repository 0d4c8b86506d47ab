#include "ShowHotkey.h"

#include <QCoreApplication>

#include "DesktopShortcut.h"
#include "KelShortKeyEdit.h"
#include "QHotkey.h"

#include <easylogging++.h>

ShowHotkey::ShowHotkey(QObject *parent)
    : QObject(parent)
    , m_hotkey(new QHotkey(this))
    , m_desktop(DesktopShortcut::forSession())
{
    connect(m_hotkey, &QHotkey::pressed, this, &ShowHotkey::pressed, Qt::DirectConnection);
    connect(m_hotkey, &QHotkey::activated, this, &ShowHotkey::activated);
    if (m_desktop) {
        connect(m_desktop.get(), &DesktopShortcut::activated, this, &ShowHotkey::activated);
        connect(m_desktop.get(), &DesktopShortcut::finished, this,
                [this](const DesktopShortcut::Result &result) {
                    onDesktopResult(result.bound, result.takenBy);
                });
    }
}

ShowHotkey::~ShowHotkey() = default;

void ShowHotkey::set(const QString &key)
{
    const QKeySequence sequence(key, QKeySequence::NativeText);
    m_hotkey->setRegistered(false);
    if (sequence.isEmpty()) {
        if (m_desktop && m_desktopBound)
            m_desktop->unbind();
        m_desktopBound = false;
        setPlace(QString());
        return;
    }
    // A bare key stored by hand or by an older version would be taken from every program.
    if (!KelShortKeyEdit::isGlobalShortcut(sequence)) {
        LOG(WARNING) << "热键 " << key << " 不含Ctrl、Alt或Meta, 未注册";
        emit result(false);
        return;
    }
    if (m_desktop) {
        const DesktopShortcut::Result bound =
            m_desktop->bind(sequence, DesktopShortcut::toggleCommand());
        if (!bound.pending)
            onDesktopResult(bound.bound, bound.takenBy);
        return;
    }
    const bool grabbed = grab(sequence);
    if (DesktopShortcut::isWaylandSession())
        setPlace(QStringLiteral("Wayland 会话中，上面的热键只在本程序的窗口有焦点时有效。"
                                "请在桌面的键盘设置中为以下命令添加自定义快捷键：\n%1")
                     .arg(DesktopShortcut::shellCommand(DesktopShortcut::toggleCommand())));
    else
        setPlace(grabbed ? QStringLiteral("X11 全局热键，由本程序注册") : QString());
    emit result(grabbed);
}

bool ShowHotkey::grab(const QKeySequence &sequence)
{
    m_hotkey->setShortcut(sequence, false);
    if (m_hotkey->setRegistered(true))
        return true;
    // Bound as the desktop's shortcut in a Wayland session, ours may hold the combination in
    // this X11 session of the same desktop: it gives way to the grab.
    bool freed = false;
    for (const auto &desktop : DesktopShortcut::all())
        freed = (desktop->isBound() && desktop->unbind()) || freed;
    return freed && m_hotkey->setRegistered(true);
}

void ShowHotkey::onDesktopResult(bool bound, const QString &takenBy)
{
    m_desktopBound = bound;
    setPlace(bound ? QStringLiteral("已注册为桌面的快捷键：%1").arg(m_desktop->place())
                   : QString());
    if (!takenBy.isEmpty()) {
        LOG(WARNING) << "快捷键已被占用: " << takenBy;
        emit refused(QStringLiteral("快捷键已被占用: %1").arg(takenBy));
        return;
    }
    emit result(bound);
}

bool ShowHotkey::isWayBack() const
{
    return m_desktopBound || (m_hotkey->isRegistered() && !DesktopShortcut::isWaylandSession());
}

QString ShowHotkey::place() const
{
    return m_place;
}

void ShowHotkey::setPlace(const QString &place)
{
    if (place == m_place)
        return;
    m_place = place;
    emit placeChanged(place);
}
