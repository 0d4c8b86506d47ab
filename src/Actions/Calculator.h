#pragma once

#include "Actions/ActionProvider.h"

#include <memory>

namespace mu {
class Parser;
}

// An arithmetic expression typed in the search box ("12*(3+4)", "2^10", "sqrt(2)", "10%3")
// answers with its value as the first row ("= 84"); running it copies the value. The
// expression is read by muparser: its operators, functions (sqrt, sin, ln, log, abs, min, max
// and others) and the constants pi and e, with "%" as the remainder. What it cannot read, or
// what has no finite value (1/0, 10^400), gives no row.
class Calculator final : public ActionProvider
{
public:
    Calculator();
    ~Calculator() override;

    QString key() const override { return QStringLiteral("Calculator"); }
    QString label() const override;
    QVector<ActionRow> query(const SearchQuery &query, const QString &typed) override;
    ActionOutcome run(const ActionRow &row, const ActionContext &context) override;

    // The value of the expression as the row shows it ("84", "0.333333333333333"); empty when
    // the text is no expression, does not parse, or has no finite value.
    QString evaluate(const QString &text);

private:
    std::unique_ptr<mu::Parser> m_parser;
};
