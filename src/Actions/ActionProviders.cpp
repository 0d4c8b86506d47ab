#include "Actions/ActionProviders.h"

#include <algorithm>

#include "Actions/Calculator.h"
#include "Actions/PathCompletion.h"
#include "Actions/RecentDocuments.h"
#include "Core/SettingsControl.h"
#include "Actions/SystemActions.h"
#include "Actions/TerminalCommands.h"
#include "Actions/WebKeywords.h"

namespace {
// Where an entry goes in the merged list: lower first. A leading row goes before the
// catalogue's items of its band, other rows after them, and rows after the catalogue after
// every band of it.
int rank(ActionPlacement placement, MatchBand band)
{
    const int bands = int(MatchBand::None) + 1;
    switch (placement) {
    case ActionPlacement::Lead:
        return int(band) * 3;
    case ActionPlacement::WithCatalogue:
        return int(band) * 3 + 2;
    case ActionPlacement::AfterCatalogue:
        return bands * 3 + int(band);
    }
    return bands * 4;
}

int catalogueRank(MatchBand band)
{
    return int(band) * 3 + 1;
}
} // namespace

ActionProviders::ActionProviders(SettingsControl &settings)
    : m_settings(settings)
    , m_calculator(std::make_unique<Calculator>())
    , m_webKeywords(std::make_unique<WebKeywords>(settings))
    , m_paths(std::make_unique<PathCompletion>())
    , m_commands(std::make_unique<TerminalCommands>(settings))
    , m_systemActions(std::make_unique<SystemActions>())
    , m_recentDocuments(std::make_unique<RecentDocuments>())
{
    m_providers = {m_calculator.get(), m_webKeywords.get(),   m_paths.get(),
                   m_commands.get(),   m_systemActions.get(), m_recentDocuments.get()};
    for (ActionProvider *provider : qAsConst(m_providers)) {
        m_enabled << m_settings.isProviderEnabled(provider->key());
        provider->setAnswersChanged([this] { emit answersChanged(); });
    }
}

ActionProviders::~ActionProviders() = default;

ActionProviders &ActionProviders::shared()
{
    static ActionProviders providers(SettingsControl::instance());
    return providers;
}

QVector<ActionProvider *> ActionProviders::providers() const
{
    return m_providers;
}

ActionProvider *ActionProviders::provider(const QString &key) const
{
    for (ActionProvider *provider : m_providers)
        if (provider->key() == key)
            return provider;
    return nullptr;
}

bool ActionProviders::isEnabled(const QString &key) const
{
    for (int i = 0; i < m_providers.size(); ++i)
        if (m_providers.at(i)->key() == key)
            return m_enabled.at(i);
    return false;
}

bool ActionProviders::setEnabled(const QString &key, bool enabled)
{
    for (int i = 0; i < m_providers.size(); ++i) {
        if (m_providers.at(i)->key() != key)
            continue;
        m_enabled[i] = enabled;
        return m_settings.setProviderEnabled(key, enabled);
    }
    return false;
}

QVector<ActionRow> ActionProviders::query(const QString &typed) const
{
    if (typed.trimmed().isEmpty())
        return {};
    const SearchQuery prepared(typed);
    QVector<ActionRow> rows;
    for (int i = 0; i < m_providers.size(); ++i)
        if (m_enabled.at(i))
            rows += m_providers.at(i)->query(prepared, typed);
    std::stable_sort(rows.begin(), rows.end(), [](const ActionRow &a, const ActionRow &b) {
        return rank(a.placement, a.band) < rank(b.placement, b.band);
    });
    return rows;
}

void ActionProviders::prepare() const
{
    if (isEnabled(m_recentDocuments->key()))
        m_recentDocuments->refresh();
}

bool ActionProviders::isReading() const
{
    for (int i = 0; i < m_providers.size(); ++i)
        if (m_enabled.at(i) && m_providers.at(i)->isReading())
            return true;
    return false;
}

ActionOutcome ActionProviders::run(const ActionRow &row, const ActionContext &context) const
{
    for (int i = 0; i < m_providers.size(); ++i)
        if (m_providers.at(i)->key() == row.provider && m_enabled.at(i))
            return m_providers.at(i)->run(row, context);
    return ActionOutcome::refused(QStringLiteral("打开失败, 无法启动"));
}

QVector<ActionProviders::Merged> ActionProviders::merge(const QVector<MatchBand> &catalogue,
                                                        const QVector<ActionRow> &rows,
                                                        int limit)
{
    // Both lists are ranked already: one pass takes the better head, the catalogue's on a tie.
    QVector<Merged> merged;
    int item = 0;
    int action = 0;
    while (merged.size() < limit && (item < catalogue.size() || action < rows.size())) {
        const bool takeAction =
            item == catalogue.size() ||
            (action < rows.size() && rank(rows.at(action).placement, rows.at(action).band) <
                                         catalogueRank(catalogue.at(item)));
        merged << (takeAction ? Merged{true, action++} : Merged{false, item++});
    }
    return merged;
}
