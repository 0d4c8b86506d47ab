#include "Window/ShowHotkey.h"

#include <QCoreApplication>

#include "Desktop/Activation.h"
#include "Desktop/DesktopShortcut.h"
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
    if (!m_desktop)
        return;
    // The portal tells us of a press; the window takes the focus with the time it came.
    connect(m_desktop.get(), &DesktopShortcut::activated, this, [this] {
        Activation::prepare(Activation::fromCaller(QString()));
        emit activated();
    });
    connect(m_desktop.get(), &DesktopShortcut::finished, this,
            [this](const DesktopShortcut::Result &result) {
                // Asked for a combination the user has changed or cleared since.
                if (m_pendingGeneration != m_generation) {
                    if (result.bound && m_key.isEmpty())
                        m_desktop->unbind();
                    return;
                }
                onDesktopResult(result);
            });
}

ShowHotkey::~ShowHotkey() = default;

void ShowHotkey::set(const QString &key)
{
    ++m_generation;
    m_key = key;
    const QKeySequence sequence(key, QKeySequence::NativeText);
    m_hotkey->setRegistered(false);
    m_servedByDesktop = false;
    if (sequence.isEmpty()) {
        // Ours goes, also one left from an earlier start.
        if (m_desktop && (m_desktopBound || m_desktop->isBoundTo(DesktopShortcut::toggleCommand())))
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
        m_pendingGeneration = m_generation;
        if (!bound.pending)
            onDesktopResult(bound);
        return;
    }
    const bool grabbed = grab(sequence);
    if (DesktopShortcut::isWaylandSession())
        setPlace(QStringLiteral("Wayland 会话中，上面的热键只在本程序的窗口有焦点时有效。"
                                "请在桌面的键盘设置中为以下命令添加自定义快捷键：\n%1")
                     .arg(DesktopShortcut::shellCommand(DesktopShortcut::toggleCommand())));
    else if (!m_servedByDesktop)
        setPlace(grabbed ? QStringLiteral("X11 全局热键，由本程序注册") : QString());
    emit result(grabbed);
}

bool ShowHotkey::grab(const QKeySequence &sequence)
{
    m_hotkey->setShortcut(sequence, false);
    if (m_hotkey->setRegistered(true))
        return true;
    // Made the desktop's shortcut in a Wayland session, ours holds the combination in this X11
    // session of the same desktop too, and runs the same command: it serves as the grab would.
    for (const auto &desktop : DesktopShortcut::all()) {
        if (desktop->isBoundTo(DesktopShortcut::toggleCommand(), sequence)) {
            m_servedByDesktop = true;
            setPlace(QStringLiteral("已注册为桌面的快捷键：%1").arg(desktop->place()));
            return true;
        }
    }
    return false;
}

void ShowHotkey::onDesktopResult(const DesktopShortcut::Result &bound)
{
    m_desktopBound = bound.bound;
    setPlace(bound.bound ? QStringLiteral("已注册为桌面的快捷键：%1").arg(m_desktop->place())
                         : QString());
    if (!bound.bound)
        m_desktop->unbind(); // the combination asked for before is not the one set now
    if (!bound.takenBy.isEmpty()) {
        LOG(WARNING) << "快捷键已被占用: " << bound.takenBy;
        emit refused(QStringLiteral("快捷键已被占用: %1").arg(bound.takenBy));
        return;
    }
    emit result(bound.bound);
}

bool ShowHotkey::isWayBack() const
{
    return m_desktopBound || m_servedByDesktop ||
           (m_hotkey->isRegistered() && !DesktopShortcut::isWaylandSession());
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
