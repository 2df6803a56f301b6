#pragma once
// The user's own settings store, shared by the windows: on Windows where the old program kept
// its settings (HKCU\Software\VB and VBA Program Settings\Zenvira), elsewhere an INI file under
// the user's config folder ($XDG_CONFIG_HOME/Zenvira/Zenvira.conf).
#include <QSettings>
#include <functional>
#include <memory>

namespace zenvira::ui {

using SettingsFactory = std::function<std::unique_ptr<QSettings>()>;

std::unique_ptr<QSettings> userSettings();

}  // namespace zenvira::ui
