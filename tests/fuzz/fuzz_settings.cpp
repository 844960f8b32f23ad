// libFuzzer target: reading the settings file's bytes, and writing what was
// read back into them, which must read the same again.
#include "settings/DisplaySettingsIo.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using korvel::DisplaySettings;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const korvel::StoredDisplaySettings stored = korvel::readDisplaySettings(bytes);
    stored.diagnostics(QStringLiteral("settings.ini"));
    const DisplaySettings a = stored.values;
    const QByteArray written = korvel::withDisplaySettings(bytes, a);
    const DisplaySettings b = korvel::readDisplaySettings(written).values;
    if (a.Username != b.Username || a.IPaddress != b.IPaddress || a.Netmask != b.Netmask ||
        a.Gateway != b.Gateway || a.Hostname != b.Hostname || a.Over != b.Over ||
        a.OverText != b.OverText || a.Color != b.Color || a.FontSize != b.FontSize ||
        a.Logo != b.Logo || a.Position != b.Position || a.OriginalImage != b.OriginalImage)
        std::abort(); // a value changed on its way through the file
    return 0;
}
