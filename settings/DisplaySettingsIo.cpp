#include "DisplaySettingsIo.h"

#include "SettingsKeys.h"
#include "StrictInteger.h"

#include <QSettings>

namespace korvel {

namespace {

QString name(const char *key)
{
    return QString::fromLatin1(key);
}

// The stored text of a key. An unquoted value with commas comes back from the
// settings layer as a list; its parts are joined again.
QString text(const QSettings &settings, const char *key)
{
    const QVariant value = settings.value(name(key));
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

bool boolean(const QSettings &settings, const char *key)
{
    return settings.value(name(key)).toBool();
}

int integer(const QSettings &settings, const char *key, QStringList &invalid)
{
    const QVariant value = settings.value(name(key));
    if (!value.isValid())
        return 0;
    if (const std::optional<int> number = toStrictInt(value))
        return *number;
    invalid << QStringLiteral("%1/%2: \"%3\" is not a decimal integer in the range of int")
                   .arg(settings.group(), name(key), text(settings, key));
    return 0;
}

} // namespace

StoredDisplaySettings readDisplaySettings(QSettings &settings)
{
    StoredDisplaySettings stored;
    DisplaySettings &v = stored.values;

    settings.beginGroup(name(keys::Displaying));
    v.Username = boolean(settings, keys::Username);
    v.IPaddress = boolean(settings, keys::IPaddress);
    v.Netmask = boolean(settings, keys::Netmask);
    v.Gateway = boolean(settings, keys::Gateway);
    v.Hostname = boolean(settings, keys::Hostname);
    v.Over = boolean(settings, keys::Over);
    stored.overStoredAsTrueText = text(settings, keys::Over) == name(keys::TrueText);
    v.OverText = text(settings, keys::OverText);
    settings.endGroup();

    settings.beginGroup(name(keys::Settings));
    v.Color = integer(settings, keys::Color, stored.invalidValues);
    v.FontSize = QString::number(integer(settings, keys::FontSize, stored.invalidValues));
    v.Logo = boolean(settings, keys::Logo);
    v.OriginalImage = text(settings, keys::OriginalImage);
    v.Position = text(settings, keys::Position);
    settings.endGroup();

    return stored;
}

QStringList StoredDisplaySettings::diagnostics(const QString &fileName) const
{
    QStringList lines;
    if (!fileProblem.isEmpty())
        lines << fileName + QStringLiteral(": ") + fileProblem + QStringLiteral("; read as absent");
    for (const QString &invalid : invalidValues)
        lines << fileName + QStringLiteral(": ") + invalid + QStringLiteral("; read as absent");
    return lines;
}

void writeDisplaySettings(QSettings &settings, const DisplaySettings &v)
{
    settings.beginGroup(name(keys::Displaying));
    settings.setValue(name(keys::Username), v.Username);
    settings.setValue(name(keys::IPaddress), v.IPaddress);
    settings.setValue(name(keys::Netmask), v.Netmask);
    settings.setValue(name(keys::Gateway), v.Gateway);
    settings.setValue(name(keys::Hostname), v.Hostname);
    settings.setValue(name(keys::Over), v.Over);
    settings.setValue(name(keys::OverText), v.OverText);
    settings.endGroup();

    settings.beginGroup(name(keys::Settings));
    settings.setValue(name(keys::Color), v.Color);
    settings.setValue(name(keys::FontSize), v.FontSize);
    settings.setValue(name(keys::Logo), v.Logo);
    settings.setValue(name(keys::Position), v.Position);
    settings.setValue(name(keys::OriginalImage), v.OriginalImage);
    settings.setValue(name(keys::Image), v.Image);
    settings.endGroup();
}

} // namespace korvel
