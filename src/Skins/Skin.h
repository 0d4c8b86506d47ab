#pragma once

#include <QJsonObject>
#include <QString>

// The values of a skin as applied, each falling back on its own when the file lacks it or
// holds something unusable.
struct SkinInfo
{
    int fontSize = 9;
    // Window opacity, 0 to 1.
    double opacity = 1.0;
    bool backgroundImage = false;
    bool acrylic = false;
    QString name;
    QString mainColor = QStringLiteral("#40b7f3");
    QString mainBgColor = QStringLiteral("#FFFFFF");
    QString fontFamily = desktopFontFamily();
    QString fontColor = QStringLiteral("#000000");

    // The family of the desktop's own font, as it resolves here: a skin that names none keeps it.
    static QString desktopFontFamily();
    static SkinInfo fromJson(const QString &name, const QJsonObject &skin);
};

namespace Skin {
// Whether the name stays a plain file name inside "../skins".
bool isValidName(const QString &name);
// "../skins/<name>.json"; empty when missing, not a JSON object, or the name is not valid.
QJsonObject read(const QString &name);
QString fileName(const QString &name);
} // namespace Skin
