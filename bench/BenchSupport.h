#pragma once

#include <QString>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstring>

// Medians and spread of repeated measurements, printed as one table row.
struct Sample
{
    QVector<double> values;

    void add(double value) { values << value; }
    double quantile(double q) const
    {
        QVector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const double at = q * (sorted.size() - 1);
        const int low = int(at);
        const int high = std::min(low + 1, int(sorted.size()) - 1);
        return sorted.at(low) + (sorted.at(high) - sorted.at(low)) * (at - low);
    }
    // The median, the 10th and 90th percentiles and the target, if there is one (> 0). Ratios
    // ("x") get two decimals: their targets are that fine.
    void print(const QString &name, const char *unit, double target) const
    {
        const bool ratio = std::strcmp(unit, "x") == 0;
        std::printf(ratio ? "%-52s %8.2f %-2s (p10 %.2f, p90 %.2f, n=%d)"
                          : "%-52s %8.1f %-2s (p10 %.1f, p90 %.1f, n=%d)",
                    qPrintable(name), quantile(0.5), unit, quantile(0.1), quantile(0.9),
                    int(values.size()));
        if (target > 0)
            std::printf("  target <= %g %s", target, unit);
        std::printf("\n");
        std::fflush(stdout);
    }
};
