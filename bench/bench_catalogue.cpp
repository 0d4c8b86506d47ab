// Writes a catalogue for the benchmarks into an install root: one type whose first group holds
// <first> items and whose further groups hold 1,000 each, up to <total> items. Names and notes
// mix Latin and Chinese. Two items in three have one of 200 cached 32 px PNG icons; the third
// has none, as imported or hand-edited catalogues hold them, and names a document or folder of
// one of a dozen kinds under <root>/documents, whose icon comes from its kind. With own-icons,
// each of the two in three has a cached icon of its own, as icons taken from every program's
// own file are.
//   quiver_bench_catalogue <root> <total> <first> [own-icons]
#include "Core/DataControl.h"

#include <easylogging++.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {
QByteArray icon(int index)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(QColor::fromHsv(index % 200 * 360 / 200, 180, 220));
    QPainter painter(&image);
    painter.drawText(image.rect(), Qt::AlignCenter, QString::number(index));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

const char *const latin[] = {"Editor", "Terminal", "notes", "Backup", "Player", "mail", "Build"};
const char *const chinese[] = {"工具", "文档", "项目", "图片", "音乐", "下载", "备份"};
// "" is a folder.
const char *const kinds[] = {".pdf",  ".txt", ".odt", ".png",  ".tar.gz", ".mp3",
                             ".html", ".sh",  ".jpg", ".docx", ".csv",    ""};
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    el::Loggers::reconfigureAllLoggers(el::ConfigurationType::ToStandardOutput, "false");
    const QStringList args = app.arguments();
    const bool ownIcons = args.size() == 5 && args.at(4) == QLatin1String("own-icons");
    if (args.size() != 4 && !ownIcons) {
        std::fprintf(stderr, "usage: quiver_bench_catalogue <root> <total> <first> [own-icons]\n");
        return 2;
    }
    const int total = args.at(2).toInt();
    const int first = args.at(3).toInt();
    QDir root(args.at(1));
    for (const char *folder : {"bin", "data", "cache/caches", "cache/log", "skins", "documents"})
        root.mkpath(QLatin1String(folder));
    const QDir documents(root.filePath(QStringLiteral("documents")));
    QDir::setCurrent(root.filePath(QStringLiteral("bin")));

    DataControl &data = DataControl::instance();
    if (!data.init_databases())
        return 1;
    data.database_create();
    QStringList hashes;
    for (int i = 0; i < (ownIcons ? total : 200); ++i) {
        const QByteArray bytes = icon(i);
        data.cache_addData(bytes, {{QStringLiteral("Name"), QStringLiteral("icon%1").arg(i)},
                                   {QStringLiteral("Class"), QStringLiteral("拖拽添加")}});
        hashes << DataControl::hashName(bytes);
    }

    data.database_transaction(true);
    data.type_add(QStringLiteral("Bench 基准"));
    const QVariant typeId = data.types_maxID();
    int group = 0;
    int inGroup = 0;
    QVariant groupId;
    for (int item = 0; item < total; ++item) {
        if (item == 0 || inGroup == (group == 1 ? first : 1000)) {
            data.group_add(QStringLiteral("组 %1 group").arg(group), typeId);
            QSqlQuery last = data.groups_select(QStringLiteral("MAX(ID) AS ID"), typeId);
            last.next();
            groupId = last.value(0);
            ++group;
            inGroup = 0;
        }
        const QString name =
            QStringLiteral("%1 %2 %3")
                .arg(QLatin1String(latin[item % 7]), QString::fromUtf8(chinese[item % 7]))
                .arg(item);
        QVariantMap fields{{QStringLiteral("Name"), name},
                           {QStringLiteral("Type"), 0},
                           {QStringLiteral("Path"), QStringLiteral("/usr/bin/app%1").arg(item)},
                           {QStringLiteral("Note"), QStringLiteral("说明 note for %1").arg(name)},
                           {QStringLiteral("IconPath"), hashes.at(item % hashes.size())}};
        if (item % 3 == 2) {
            const QLatin1String kind(kinds[item / 3 % 12]);
            const QString path = documents.filePath(QStringLiteral("file%1").arg(item) + kind);
            if (kind.isEmpty()) {
                documents.mkpath(path);
                fields[QStringLiteral("Type")] = 1;
            } else {
                QFile(path).open(QIODevice::WriteOnly);
            }
            fields[QStringLiteral("Path")] = path;
            fields[QStringLiteral("IconPath")] = QString();
        }
        data.item_add(fields, typeId, groupId);
        ++inGroup;
    }
    data.database_transaction(false);
    data.database_close();
    std::printf("%d items in %d groups\n", total, group);
    return 0;
}
