#include "Skins/Skin.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QJsonDocument>

namespace {
void readColor(const QJsonObject &skin, const char *key, QString &color)
{
    QColor parsed;
    parsed.setNamedColor(skin.value(QLatin1String(key)).toString());
    if (parsed.isValid())
        color = parsed.name();
}
} // namespace

QString Skin::fileName(const QString &name)
{
    return QStringLiteral("../skins/%1.json").arg(name);
}

bool Skin::isValidName(const QString &name)
{
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && trimmed != QLatin1String(".") && trimmed != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QJsonObject Skin::read(const QString &name)
{
    // The stored name comes from a settings file anyone may have edited.
    if (!isValidName(name))
        return QJsonObject();
    QFile file(fileName(name));
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

QString SkinInfo::desktopFontFamily()
{
    return QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
}

SkinInfo SkinInfo::fromJson(const QString &name, const QJsonObject &skin)
{
    SkinInfo info;
    info.name = name;
    readColor(skin, "MainColor", info.mainColor);
    readColor(skin, "MainBgColor", info.mainBgColor);
    readColor(skin, "FontColor", info.fontColor);
    info.fontFamily = skin.value(QLatin1String("Font")).toString(info.fontFamily);
    const int fontSize = skin.value(QLatin1String("FontSize")).toInt(9);
    if (fontSize >= 9 && fontSize <= 15)
        info.fontSize = fontSize;
    const double opacity = skin.value(QLatin1String("Opacity")).toDouble(100);
    if (opacity >= 1 && opacity <= 100)
        info.opacity = opacity / 100;
    info.backgroundImage = skin.value(QLatin1String("BgImage")).toBool(false);
    info.acrylic = skin.value(QLatin1String("Acrylic")).toBool(false);
    return info;
}
