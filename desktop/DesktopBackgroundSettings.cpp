#include "DesktopBackgroundSettings.h"

#include <QFile>
#include <QFileInfo>

// GLib names a struct member `signals`, which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

namespace korvel {

namespace {

enum class Value { Uri, Path, Stretched };

struct Key
{
    const char *name;
    Value value;
};

struct Desktop
{
    const char *schema;
    Key keys[3];
};

// The desktops that draw their own background from these settings.
const Desktop desktops[] = {
    {"org.gnome.desktop.background",
     {{"picture-uri", Value::Uri},
      {"picture-uri-dark", Value::Uri},
      {"picture-options", Value::Stretched}}},
    {"org.mate.background",
     {{"picture-filename", Value::Path}, {"picture-options", Value::Stretched}, {}}},
    {"org.cinnamon.desktop.background",
     {{"picture-uri", Value::Uri}, {"picture-options", Value::Stretched}, {}}},
};

QString writeKey(GSettings *settings, GSettingsSchema *schema, const Desktop &desktop,
                 const Key &key, const char *text)
{
    if (!g_settings_schema_has_key(schema, key.name))
        return {};
    GVariant *value = g_variant_ref_sink(g_variant_new_string(text));
    GSettingsSchemaKey *schemaKey = g_settings_schema_get_key(schema, key.name);
    // Checked first: GLib answers a wrong type or value with a critical warning.
    const bool fits = g_variant_type_equal(g_settings_schema_key_get_value_type(schemaKey),
                                           G_VARIANT_TYPE_STRING) &&
                      g_settings_schema_key_range_check(schemaKey, value);
    const bool written = fits && g_settings_set_value(settings, key.name, value);
    g_settings_schema_key_unref(schemaKey);
    g_variant_unref(value);
    if (written)
        return {};
    return QStringLiteral("cannot set %1 %2 to %3%4")
        .arg(QLatin1String(desktop.schema), QLatin1String(key.name), QString::fromUtf8(text),
             fits ? QString() : QStringLiteral(": the installed settings do not accept it"));
}

} // namespace

bool DesktopBackgroundSettings::installed() const
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    for (const Desktop &desktop : desktops) {
        if (GSettingsSchema *schema =
                source ? g_settings_schema_source_lookup(source, desktop.schema, TRUE) : nullptr) {
            g_settings_schema_unref(schema);
            return true;
        }
    }
    return false;
}

QStringList DesktopBackgroundSettings::apply(const DesktopPicture &picture)
{
    const QString &file = picture.file;
    QStringList errors;

    const QByteArray path = QFile::encodeName(QFileInfo(file).absoluteFilePath());
    GError *uriError = nullptr;
    gchar *uri = g_filename_to_uri(path.constData(), nullptr, &uriError);
    if (!uri) {
        errors << QStringLiteral("cannot make a URI of %1: %2")
                      .arg(file, QString::fromUtf8(uriError->message));
        g_error_free(uriError);
        return errors;
    }
    // The settings hold text: a path that is not UTF-8 cannot go in as it is.
    gchar *utf8Path = g_filename_to_utf8(path.constData(), -1, nullptr, nullptr, nullptr);

    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    bool wrote = false;
    for (const Desktop &desktop : desktops) {
        GSettingsSchema *schema =
            source ? g_settings_schema_source_lookup(source, desktop.schema, TRUE) : nullptr;
        if (!schema)
            continue;
        GSettings *settings = g_settings_new_full(schema, nullptr, nullptr);
        for (const Key &key : desktop.keys) {
            if (!key.name)
                continue;
            const char *text = key.value == Value::Uri    ? uri
                               : key.value == Value::Path ? utf8Path
                               : picture.spansMonitors    ? "spanned"
                                                          : "stretched";
            if (!text) {
                errors << QStringLiteral("cannot set %1 %2: the file name is not UTF-8")
                              .arg(QLatin1String(desktop.schema), QLatin1String(key.name));
                continue;
            }
            const QString error = writeKey(settings, schema, desktop, key, text);
            if (error.isEmpty())
                wrote = true;
            else
                errors << error;
        }
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    // Waits until the writes have reached the settings store (dconf's service).
    if (wrote)
        g_settings_sync();
    g_free(utf8Path);
    g_free(uri);
    return errors;
}

} // namespace korvel
