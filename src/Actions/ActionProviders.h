#pragma once

#include "Actions/ActionProvider.h"

#include <QObject>

#include <memory>
#include <vector>

class Calculator;
class PathCompletion;
class RecentDocuments;
class SettingsControl;
class SystemActions;
class TerminalCommands;
class WebKeywords;

// The search box's answers besides the catalogue: every provider, each switched on or off by
// its setting "Search/<key>" (on unless set), asked together and ranked.
class ActionProviders final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActionProviders)

public:
    explicit ActionProviders(SettingsControl &settings);
    ~ActionProviders() override;
    // The program's own, on the program's settings: the one the window asks and the settings
    // window switches. Needs the application object.
    static ActionProviders &shared();

    // In the order the settings window lists them.
    QVector<ActionProvider *> providers() const;
    ActionProvider *provider(const QString &key) const;

    bool isEnabled(const QString &key) const;
    // Stores the switch; whether the settings file took it (the switch holds either way).
    bool setEnabled(const QString &key, bool enabled);

    // Every enabled provider's rows for what was typed, ranked as merge() ranks them among
    // themselves: the calculator's result first, then by band, rows placed after the catalogue
    // last; within a band in the order of providers().
    QVector<ActionRow> query(const QString &typed) const;
    // Reads ahead what the first key would otherwise wait for (the desktop's list of recent
    // documents, when it changed): for the window to call while it shows or idles.
    void prepare() const;
    // Whether an enabled provider's read has not come in yet.
    bool isReading() const;
    // Runs a row through the provider that made it; a disabled or unknown provider refuses.
    ActionOutcome run(const ActionRow &row, const ActionContext &context) const;

    // One entry of the merged results: a catalogue result or an action row, by its index in
    // the list it came from.
    struct Merged
    {
        bool isAction;
        int index;
    };
    // The catalogue's results (their bands, best first, as the search ranks them) and the
    // action rows as one list of at most limit entries: a better band first; within a band
    // a leading row, then the catalogue's items, then the other rows; rows placed after the
    // catalogue after all of the catalogue's items.
    static QVector<Merged>
    merge(const QVector<MatchBand> &catalogue, const QVector<ActionRow> &rows, int limit);

    Calculator &calculator() const { return *m_calculator; }
    WebKeywords &webKeywords() const { return *m_webKeywords; }
    PathCompletion &paths() const { return *m_paths; }
    TerminalCommands &commands() const { return *m_commands; }
    SystemActions &systemActions() const { return *m_systemActions; }
    RecentDocuments &recentDocuments() const { return *m_recentDocuments; }

signals:
    // A read came in that changes the rows for what was asked before: the text typed now is
    // to be asked for again. The rows of a later key are never replaced by those of an earlier
    // one, since every answer is given for the text of its own query.
    void answersChanged();

private:
    SettingsControl &m_settings;
    std::unique_ptr<Calculator> m_calculator;
    std::unique_ptr<WebKeywords> m_webKeywords;
    std::unique_ptr<PathCompletion> m_paths;
    std::unique_ptr<TerminalCommands> m_commands;
    std::unique_ptr<SystemActions> m_systemActions;
    std::unique_ptr<RecentDocuments> m_recentDocuments;
    QVector<ActionProvider *> m_providers;
    QVector<bool> m_enabled;
};
