// Skin files: reading any bytes as a skin and filling the style-sheet template with it must
// give values inside their ranges and a style sheet the program can apply.
#include "KelStyleSheets.h"
#include "Skins/SkinStyle.h"

#include <QFile>
#include <QJsonDocument>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

static QString styleTemplate()
{
    Q_INIT_RESOURCE(resources);
    QFile file(QStringLiteral(":/files/skinTemplate.css"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString skinTemplate = styleTemplate();
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const SkinInfo skin = SkinInfo::fromJson(QStringLiteral("fuzz"),
                                             QJsonDocument::fromJson(bytes).object());
    if (skin.opacity <= 0.0 || skin.opacity > 1.0 || skin.fontSize <= 0)
        std::abort();
    KelStyleSheets::toQss(Skin::styleSheet(skin, skinTemplate), true);
    return 0;
}
