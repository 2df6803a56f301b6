#include "ui/user_settings.h"

namespace zenvira::ui {

namespace {

// QSettings puts the organization under HKCU\Software and the application below it; the old
// program's runtime used this organization for every program's settings.
#ifdef Q_OS_WIN
constexpr const char* kOrganization = "VB and VBA Program Settings";
#else
constexpr const char* kOrganization = "Zenvira";
#endif
constexpr const char* kApplication = "Zenvira";

}  // namespace

std::unique_ptr<QSettings> userSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganization),
                                       QString::fromLatin1(kApplication));
}

}  // namespace zenvira::ui
