#include "Skins/SkinStyle.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QFont>

#include "KelStyleSheets.h"
#include "Core/SettingsControl.h"

QString Skin::styleSheet(const SkinInfo &skin, const QString &styleTemplate)
{
    QString text = styleTemplate;
    if (skin.backgroundImage)
        text += QStringLiteral("#FormMain{%1;}")
                    .arg(QStringLiteral("border-image:url(../skins/%1/bg.jpg)").arg(skin.name));
    const QColor shade(skin.fontColor);
    text +=
        QStringLiteral("$MainColor=%1;").arg(skin.mainColor) +
        QStringLiteral("$MainBgColor=%1;").arg(skin.mainBgColor) +
        QStringLiteral("$FontColor=%1;").arg(skin.fontColor) +
        QStringLiteral("$ShadeRgb=%1,%2,%3;").arg(shade.red()).arg(shade.green()).arg(shade.blue());
    return KelStyleSheets::toQss(text, true);
}

SkinInfo Skin::apply(const QString &name)
{
    const SkinInfo skin = SkinInfo::fromJson(name, read(name));
    SettingsControl::instance().setSkin(name);
    QFile styleTemplate(QStringLiteral(":/files/skinTemplate.css"));
    if (!styleTemplate.open(QIODevice::ReadOnly | QIODevice::Text))
        return skin;
    QFont font;
    font.setFamily(skin.fontFamily);
    font.setPointSize(skin.fontSize);
    QApplication::setFont(font);
    qApp->setStyleSheet(styleSheet(skin, QString::fromUtf8(styleTemplate.readAll())));
    return skin;
}
