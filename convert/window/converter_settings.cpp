#include "convert/window/converter_settings.h"

namespace zenvira::convert {

namespace {

// QSettings puts the organization under HKCU\Software and the application below it; the old
// program's runtime used this organization for every program's settings.
#ifdef Q_OS_WIN
constexpr const char* kOrganization = "VB and VBA Program Settings";
#else
constexpr const char* kOrganization = "Zenvira";
#endif
constexpr const char* kApplication = "Zenvira";
constexpr const char* kFormatKey = "Settings/Format";

}  // namespace

std::unique_ptr<QSettings> userSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganization),
                                       QString::fromLatin1(kApplication));
}

QString storedFormat(QSettings& settings) {
    return settings.value(QString::fromLatin1(kFormatKey), QString::fromLatin1(kDefaultFormat)).toString();
}

void storeFormat(QSettings& settings, const QString& format) {
    settings.setValue(QString::fromLatin1(kFormatKey), format);
    settings.sync();
}

}  // namespace zenvira::convert
