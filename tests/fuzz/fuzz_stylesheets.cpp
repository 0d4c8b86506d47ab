// Style-sheet variables: any text, simplified or not, must come back without a crash, and
// compacting must not grow the text beyond its substitutions.
#include "KelStyleSheets.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    KelStyleSheets::toQss(text, true);
    KelStyleSheets::toQss(text, false);
    return 0;
}
