#pragma once

#include "Desktop/DesktopShortcut.h"

// A custom keybinding of GNOME's settings daemon, kept in GSettings, named "Quiver" and placed
// in the list beside the user's own, which stay as they are.
class GnomeShortcut final : public DesktopShortcut
{
    Q_OBJECT

public:
    // GNOME's schemas are installed and GSettings stores what is written (not in memory only).
    static bool isAvailable();

    QString place() const override;
    Result bind(const QKeySequence &keys, const QStringList &command) override;
    bool unbind() override;
    bool isBound() const override;
    bool isBoundTo(const QStringList &command, const QKeySequence &keys = {}) const override;

    // The combination as GNOME writes it ("<Control><Alt>t"); empty when it has no X key name.
    static QString accelerator(const QKeySequence &keys);
    // Whether two of GNOME's accelerators name the same combination ("<Primary>T" and
    // "<Ctrl>t" do).
    static bool sameAccelerator(const QString &first, const QString &second);

    // The command as GNOME's settings daemon reads it.
    static QString commandLine(const QStringList &command);

private:
    // The binding, GNOME's or the user's, that uses the accelerator: its description; runsOurs
    // tells whether it is the user's own shortcut for the command line.
    QString takenBy(const QString &accelerator, const QString &commandLine, bool *runsOurs) const;
};
