#include "Actions/Calculator.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>

#include <muParser.h>

#include <cmath>

namespace {
double modulo(double value, double divisor)
{
    return std::fmod(value, divisor);
}

// Digits as the user reads them: whole numbers in full while a double holds them exactly,
// anything else with 15 significant digits, so 0.1+0.2 shows 0.3.
QString format(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    if (std::nearbyint(value) == value && std::fabs(value) < 1e15)
        return QString::number(value, 'f', 0);
    return QString::number(value, 'g', 15);
}
} // namespace

Calculator::Calculator()
    : m_parser(std::make_unique<mu::Parser>())
{
    m_parser->DefineConst("pi", M_PI);
    m_parser->DefineConst("e", M_E);
    m_parser->DefineOprt("%", modulo, mu::prMUL_DIV, mu::oaLEFT, true);
}

Calculator::~Calculator() = default;

QString Calculator::label() const
{
    return QStringLiteral("计算器");
}

QString Calculator::evaluate(const QString &text)
{
    QString expression = text.trimmed();
    expression.replace(QChar(0x00D7), QLatin1Char('*')).replace(QChar(0x00F7), QLatin1Char('/'));
    // A number or a constant alone ("2048", "-5", "1e-3", "e") is no calculation: a name in
    // the catalogue may be one. An operator or a function call makes it one.
    static const QRegularExpression operation(QStringLiteral("[-+*/^%(]"));
    bool number = false;
    expression.toDouble(&number);
    if (number || expression.size() > 500 || !operation.match(expression).hasMatch())
        return QString();
    try {
        m_parser->SetExpr(expression.toStdString());
        int results = 0;
        const double *values = m_parser->Eval(results);
        // "1,2" is two expressions, not one value.
        if (results != 1 || !std::isfinite(values[0]))
            return QString();
        return format(values[0]);
    } catch (const mu::Parser::exception_type &) {
        // Typing goes through incomplete expressions ("12*(") on its way to a whole one.
        return QString();
    }
}

QVector<ActionRow> Calculator::query(const SearchQuery &query, const QString &)
{
    // The folded text reads full-width digits and signs as ASCII, and "SQRT" as "sqrt".
    const QString value = evaluate(query.text());
    if (value.isEmpty())
        return {};
    ActionRow result = row(MatchBand::ExactName, QStringLiteral("= ") + value, query.text());
    result.placement = ActionPlacement::Lead;
    result.iconName = QStringLiteral("accessories-calculator");
    result.payload = value;
    return {result};
}

ActionOutcome Calculator::run(const ActionRow &row, const ActionContext &)
{
    QGuiApplication::clipboard()->setText(row.payload);
    return ActionOutcome::done(QStringLiteral("已复制: ") + row.payload);
}
