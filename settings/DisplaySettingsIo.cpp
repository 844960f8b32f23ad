#include "DisplaySettingsIo.h"

#include "IniText.h"
#include "SettingsKeys.h"
#include "StrictInteger.h"
#include "base/Diagnostics.h"

#include <QVariant>

#include <optional>

namespace korvel {

namespace {

QString name(const char *key)
{
    return QString::fromLatin1(key);
}

// Reads the keys of one group; a value in the notation for objects is read as
// absent and noted.
class GroupReader
{
public:
    GroupReader(const IniText &ini, const char *group, QStringList &invalid)
        : m_ini(ini), m_group(name(group)), m_invalid(invalid)
    {}

    std::optional<IniText::Value> value(const char *key) const
    {
        std::optional<IniText::Value> value = m_ini.value(m_group, name(key));
        if (value && value->encoded) {
            note(key, QStringLiteral("is in the notation for objects, which is not read"),
                 value->text);
            return std::nullopt;
        }
        return value;
    }
    // The stored text; an unquoted value with commas is a list, whose parts are joined again.
    QString text(const char *key) const
    {
        const std::optional<IniText::Value> stored = value(key);
        return stored ? stored->text : QString();
    }
    bool boolean(const char *key) const { return isTrue(value(key)); }
    int integer(const char *key) const
    {
        const std::optional<IniText::Value> stored = value(key);
        if (!stored)
            return 0;
        if (!stored->isList)
            if (const std::optional<int> number = toStrictInt(QVariant(stored->text)))
                return *number;
        note(key, QStringLiteral("is not a decimal integer in the range of int"), stored->text);
        return 0;
    }

    // By the settings layer's rule for a text: not empty, "0" or "false"; a list is false.
    static bool isTrue(const std::optional<IniText::Value> &stored)
    {
        return stored && !stored->isList && QVariant(stored->text).toBool();
    }

private:
    void note(const char *key, const QString &what, const QString &text) const
    {
        m_invalid
            << QStringLiteral("%1/%2: %3 %4").arg(m_group, name(key), quotedValue(text), what);
    }

    const IniText &m_ini;
    const QString m_group;
    QStringList &m_invalid;
};

} // namespace

StoredDisplaySettings readDisplaySettings(const QByteArray &content)
{
    const IniText ini(content);
    StoredDisplaySettings stored;
    DisplaySettings &v = stored.values;

    const GroupReader displaying(ini, keys::Displaying, stored.invalidValues);
    v.Username = displaying.boolean(keys::Username);
    v.IPaddress = displaying.boolean(keys::IPaddress);
    v.Netmask = displaying.boolean(keys::Netmask);
    v.Gateway = displaying.boolean(keys::Gateway);
    v.Hostname = displaying.boolean(keys::Hostname);
    const std::optional<IniText::Value> over = displaying.value(keys::Over);
    v.Over = GroupReader::isTrue(over);
    stored.overStoredAsTrueText = over && !over->isList && over->text == name(keys::TrueText);
    v.OverText = displaying.text(keys::OverText);

    const GroupReader settings(ini, keys::Settings, stored.invalidValues);
    v.Color = settings.integer(keys::Color);
    v.FontSize = QString::number(settings.integer(keys::FontSize));
    v.Logo = settings.boolean(keys::Logo);
    v.OriginalImage = settings.text(keys::OriginalImage);
    v.Position = settings.text(keys::Position);
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

QByteArray withDisplaySettings(const QByteArray &content, const DisplaySettings &v)
{
    const auto flag = [](bool value) { return QString::fromLatin1(value ? "true" : "false"); };
    const QString displaying = name(keys::Displaying), settings = name(keys::Settings);
    const QVector<IniText::Entry> entries = {
        {displaying, name(keys::Username), flag(v.Username)},
        {displaying, name(keys::IPaddress), flag(v.IPaddress)},
        {displaying, name(keys::Netmask), flag(v.Netmask)},
        {displaying, name(keys::Gateway), flag(v.Gateway)},
        {displaying, name(keys::Hostname), flag(v.Hostname)},
        {displaying, name(keys::Over), flag(v.Over)},
        {displaying, name(keys::OverText), v.OverText},
        {settings, name(keys::Color), QString::number(v.Color)},
        {settings, name(keys::FontSize), v.FontSize},
        {settings, name(keys::Logo), flag(v.Logo)},
        {settings, name(keys::Position), v.Position},
        {settings, name(keys::OriginalImage), v.OriginalImage},
        {settings, name(keys::Image), v.Image},
    };
    return IniText(content).with(entries);
}

} // namespace korvel
