#include "convert/window/converter_settings.h"

#include "ui/user_settings.h"

namespace zenvira::convert {

namespace {

constexpr const char* kFormatKey = "Settings/Format";

}  // namespace

std::unique_ptr<QSettings> userSettings() { return ui::userSettings(); }

QString storedFormat(QSettings& settings) {
    return settings.value(QString::fromLatin1(kFormatKey), QString::fromLatin1(kDefaultFormat)).toString();
}

void storeFormat(QSettings& settings, const QString& format) {
    settings.setValue(QString::fromLatin1(kFormatKey), format);
    settings.sync();
}

}  // namespace zenvira::convert
