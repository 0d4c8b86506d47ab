#include "Actions/TerminalCommands.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include "Desktop/DesktopShell.h"
#include "Core/SettingsControl.h"

#include <easylogging++.h>

namespace {
QString title(const QString &command)
{
    return QStringLiteral("在终端中运行: ") + command;
}

// The shell's single quotes: nothing inside them is expanded.
QString quoted(const QString &word)
{
    return QLatin1Char('\'') + QString(word).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

QString userShell()
{
    const QString shell = qEnvironmentVariable("SHELL");
    return QFileInfo(shell).isAbsolute() && QFileInfo(shell).isExecutable()
               ? shell
               : QStringLiteral("/bin/sh");
}
} // namespace

TerminalCommands::TerminalCommands(SettingsControl &settings)
    : m_settings(settings)
{
    const std::optional<QStringList> stored = m_settings.commandHistory();
    if (!stored)
        LOG(WARNING) << "命令历史无效, 已忽略";
    else
        for (const QString &command : *stored)
            if (!command.trimmed().isEmpty() && !m_history.contains(command) &&
                m_history.size() < historySize)
                m_history << command;
    for (const QString &command : qAsConst(m_history))
        m_folded << foldForSearch(command);
}

QString TerminalCommands::label() const
{
    return QStringLiteral("终端命令");
}

QStringList TerminalCommands::shellCommand(const QString &command, const QString &shell)
{
    // The shell stays for the output to be read; a newline ends a command that ends in "&" too.
    return {shell, QStringLiteral("-c"), command + QStringLiteral("\nexec ") + quoted(shell)};
}

void TerminalCommands::remember(const QString &command)
{
    const int at = m_history.indexOf(command);
    if (at >= 0) {
        m_history.removeAt(at);
        m_folded.removeAt(at);
    }
    m_history.prepend(command);
    m_folded.prepend(foldForSearch(command));
    while (m_history.size() > historySize) {
        m_history.removeLast();
        m_folded.removeLast();
    }
    if (!m_settings.setCommandHistory(m_history))
        LOG(WARNING) << "命令历史保存失败";
}

bool TerminalCommands::clearHistory()
{
    m_history.clear();
    m_folded.clear();
    return m_settings.setCommandHistory(QStringList());
}

QVector<ActionRow> TerminalCommands::query(const SearchQuery &query, const QString &typed)
{
    QVector<ActionRow> rows;
    const bool asked = typed.startsWith(QLatin1Char('>'));
    const QString command = asked ? typed.mid(1).trimmed() : QString();
    if (!command.isEmpty()) {
        ActionRow result = row(MatchBand::ExactName, title(command), QString());
        result.iconName = QStringLiteral("utilities-terminal");
        result.payload = command;
        rows << result;
    }
    // Kept commands, best match first, then the latest.
    const SearchQuery kept = asked ? SearchQuery(command) : query;
    if (!asked && kept.isEmpty())
        return rows;
    QVector<ActionRow> found;
    for (int i = 0; i < m_history.size(); ++i) {
        if (m_history.at(i) == command)
            continue;
        const MatchBand band =
            kept.isEmpty() ? MatchBand::NamePrefix : matchItem(kept, m_folded.at(i), QStringView());
        if (band == MatchBand::None || band == MatchBand::Fuzzy)
            continue;
        ActionRow result = row(band, title(m_history.at(i)), QStringLiteral("最近运行过的命令"));
        result.iconName = QStringLiteral("utilities-terminal");
        result.payload = m_history.at(i);
        result.completion = QLatin1Char('>') + m_history.at(i);
        found << result;
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const ActionRow &a, const ActionRow &b) { return a.band < b.band; });
    return rows + found;
}

ActionOutcome TerminalCommands::run(const ActionRow &row, const ActionContext &)
{
    const QString command = row.payload;
    if (command.trimmed().isEmpty())
        return ActionOutcome::refused(QStringLiteral("命令为空"));
    remember(command);
    // What was typed may hold a password ("mysql -pS3cret"): the log, kept for days, names
    // none of it.
    LOG(INFO) << "在终端中运行命令";
    const QFuture<StartOutcome> started =
        DesktopShell::runInTerminal(shellCommand(command, userShell()), QDir::homePath());
    return ActionOutcome::later(started, QStringLiteral("打开失败, 无法启动"));
}
