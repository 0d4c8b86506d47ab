// Clipboard text to items: every element of an accepted array becomes a field map holding
// text values only.
#include "Catalogue/ShareFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const auto items = ShareFormat::fromText(text);
    if (!items)
        return 0;
    for (const QVariantMap &item : *items)
        for (const QVariant &value : item)
            if (value.userType() != QMetaType::QString)
                std::abort();
    return 0;
}
