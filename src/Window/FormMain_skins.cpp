// FormMain: applying a skin.
#include "FormMain.h"
#include "ui_FormMain.h"

#include <QAction>
#include <QApplication>
#include <QFile>

#include "IconLoader.h"
#include "SettingsControl.h"
#include "Skin.h"

void FormMain::onSetSkins(QString fileName)
{
    const SkinInfo skin = SkinInfo::fromJson(fileName, Skin::read(fileName));
    SettingsControl::instance().setSkin(fileName);
    applySkin(skin);
}

void FormMain::applySkin(const SkinInfo &skin)
{
    QFile styleTemplate(QStringLiteral(":/files/skinTemplate.css"));
    if (!styleTemplate.open(QIODevice::ReadOnly | QIODevice::Text))
        return;

    QFont font;
    font.setFamily(skin.fontFamily);
    font.setPointSize(skin.fontSize);
    QApplication::setFont(font);
    qApp->setStyleSheet(skin.styleSheet(QString::fromUtf8(styleTemplate.readAll())));

    // The title bar's icons take the text colour.
    const IconLoader &icons = IconLoader::instance();
    const auto recoloured = [&](const char *file, const char *attribute) {
        return QIcon(
            icons.svgToPixmap(QLatin1String(file), skin.fontColor, QLatin1String(attribute)));
    };
    ui->toolButton_close->setIcon(recoloured(":/icon/close.svg", "stroke"));
    ui->toolButton_minimize->setIcon(recoloured(":/icon/minimize.svg", "stroke"));
    ui->toolButton_settings->setIcon(recoloured(":/icon/settings_m.svg", "fill"));
    ui->toolButton_history->setIcon(recoloured(":/icon/history.svg", "fill"));
    ui->toolButton_back->setIcon(recoloured(":/icon/return.svg", "fill"));
    m_actionSearch->setIcon(recoloured(":/icon/search.svg", "fill"));
    m_actionClear->setIcon(recoloured(":/icon/clear.svg", "fill"));

    setWindowOpacity(skin.opacity);
    repaint();
    update();
}
