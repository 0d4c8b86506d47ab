#pragma once

#include "Actions/ActionProvider.h"

#include <QStringList>

class SettingsControl;

// ">" and a command runs the command in the user's terminal: Debian's x-terminal-emulator, or
// else the terminal GIO picks for the desktop. It runs in the user's shell ($SHELL, else
// /bin/sh) in the home folder, and the terminal stays open with that shell once it ends. The
// last commands run are kept ("Search/CommandHistory", newest first) and found again by
// name and pinyin, after ">" or without it.
class TerminalCommands final : public ActionProvider
{
public:
    explicit TerminalCommands(SettingsControl &settings);

    QString key() const override { return QStringLiteral("Commands"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;

    static constexpr int historySize = 50;
    const QStringList &history() const { return m_history; }
    // Forgets every command kept. Whether the settings file took it.
    bool clearHistory();

    // The words a terminal runs for the command: the user's shell, which reads the command and
    // then stays open.
    static QStringList shellCommand(const QString &command, const QString &shell);

private:
    void remember(const QString &command);

    SettingsControl &m_settings;
    QStringList m_history;
    QVector<QString> m_folded;
};
