// Writes to a catalogue the way the launcher does, as fast as it can, and prints each change
// once it is committed: adds (one at a time and in batches), renames, reorders and settings.
//   quiver_crashwriter <root> <first step, a multiple of 4>
#include "Core/DataControl.h"
#include "Core/SettingsControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>

#include <easylogging++.h>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    QDir root(app.arguments().value(1));
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("cache/caches"));
    root.mkpath(QStringLiteral("bin"));
    QDir::setCurrent(root.filePath(QStringLiteral("bin")));
    DataControl &data = DataControl::instance();
    if (!data.init_databases())
        return 1;
    data.database_create();
    SettingsControl &settings = SettingsControl::instance();

    for (int step = app.arguments().value(2).toInt();; ++step) {
        const QString name = QStringLiteral("item %1 项目").arg(step);
        switch (step % 4) {
        case 0:
            if (!data.item_add({{QStringLiteral("Name"), name}}, 1, 1))
                return 1;
            break;
        case 1: {
            // A drop or a paste: several items in one transaction.
            data.database_transaction(true);
            for (int i = 0; i < 5; ++i)
                data.item_add({{QStringLiteral("Name"), QStringLiteral("%1/%2").arg(name).arg(i)}},
                              1, 1);
            data.database_transaction(false);
            break;
        }
        case 2: {
            // Renames the item this block added.
            QSqlQuery added(QSqlDatabase::database(QStringLiteral("MainDatabase")));
            added.exec(
                QStringLiteral("SELECT ID FROM Items WHERE Name = 'item %1 项目'").arg(step - 2));
            if (!added.next() ||
                !data.item_rename(QStringLiteral("renamed %1").arg(step), added.value(0)))
                return 1;
            break;
        }
        case 3:
            data.database_transaction(true);
            for (int id = 1; id <= 8; ++id)
                data.item_setRow(id, (id * 7 + step) % 8);
            data.database_transaction(false);
            settings.setLastTypeId(step);
            break;
        }
        std::printf("%d\n", step);
        std::fflush(stdout);
    }
}
