// The update service's reply: any bytes are either refused or read into text fields.
#include "Update/UpdateReply.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto reply =
        UpdateReply::parse(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (reply)
        (void)QStringLiteral("v%1\n%2").arg(reply->version, reply->body);
    return 0;
}
