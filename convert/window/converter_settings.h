#pragma once
// The converter's one remembered setting: the profile name last chosen, section "Settings",
// key "Format", per user. On Windows it lives where the old program kept it,
// HKCU\Software\VB and VBA Program Settings\Zenvira\Settings\Format, so an old choice carries
// over; elsewhere in an INI file under the user's config folder ($XDG_CONFIG_HOME/Zenvira/Zenvira.conf).
#include <QSettings>
#include <QString>
#include <functional>
#include <memory>

namespace zenvira::convert {

using SettingsFactory = std::function<std::unique_ptr<QSettings>()>;

inline constexpr const char* kDefaultFormat = "WMV(WindowsMedia-Best Quality)";

// The user's own settings store.
std::unique_ptr<QSettings> userSettings();

// The stored profile name, or the default when nothing is stored.
QString storedFormat(QSettings& settings);
// Stores the text as it is, also a text that is no profile name; written out at once.
void storeFormat(QSettings& settings, const QString& format);

}  // namespace zenvira::convert
