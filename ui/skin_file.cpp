#include "ui/skin_file.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "ui/ini_text.h"

namespace zenvira::ui {

namespace {

// Skin files and their style sheets are small; anything larger is not one.
constexpr qint64 kMaxSkinFileBytes = 1024 * 1024;

std::optional<QByteArray> readSmallFile(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxSkinFileBytes) {
        error = QStringLiteral("%1 is too large for a skin file").arg(path);
        return std::nullopt;
    }
    return file.readAll();
}

QString cssColor(const QColor& c) {
    if (c.alpha() == 255) return c.name(QColor::HexRgb);
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

bool readColors(const IniText& ini, Skin& skin, QString& error) {
    const auto entries = ini.section(QStringLiteral("Colors"));
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const QColor color = QColor::fromString(it.value());
        if (!color.isValid()) {
            error = QStringLiteral("colour %1 has no valid value \"%2\"").arg(it.key(), it.value());
            return false;
        }
        skin.colors.insert(it.key(), color);
    }
    return true;
}

bool readFont(const IniText& ini, Skin& skin, QString& error) {
    for (const QString& family : ini.value(QStringLiteral("Font"), QStringLiteral("Family")).split(u','))
        if (!family.trimmed().isEmpty()) skin.fontFamilies << family.trimmed();
    const QString size = ini.value(QStringLiteral("Font"), QStringLiteral("Size"));
    if (size.isEmpty()) return true;
    bool number = false;
    skin.fontPointSize = size.toInt(&number);
    if (!number || skin.fontPointSize < 4 || skin.fontPointSize > 72) {
        error = QStringLiteral("font size \"%1\" is not a size from 4 to 72 points").arg(size);
        return false;
    }
    return true;
}

std::optional<QString> readStyleSheetText(const IniText& ini, const QString& folder, QString& error) {
    const QString inlineSheet = ini.value(QStringLiteral("StyleSheet"), QStringLiteral("Inline"));
    const QString file = ini.value(QStringLiteral("StyleSheet"), QStringLiteral("File"));
    if (file.isEmpty()) return inlineSheet;
    const auto bytes = readSmallFile(QDir(folder).filePath(file), error);
    if (!bytes) return std::nullopt;
    if (bytes->contains('\0')) {
        error = QStringLiteral("style sheet %1 holds binary data").arg(file);
        return std::nullopt;
    }
    return QString::fromUtf8(*bytes) + u'\n' + inlineSheet;
}

// Replaces every ${Name} by the colour of that name.
bool fillColors(QString& sheet, const Skin& skin, QString& error) {
    static const QRegularExpression placeholder(QStringLiteral(R"(\$\{([A-Za-z0-9_]+)\})"));
    QString filled;
    qsizetype done = 0;
    for (auto it = placeholder.globalMatch(sheet); it.hasNext();) {
        const auto match = it.next();
        const auto color = skin.color(match.captured(1));
        if (!color) {
            error = QStringLiteral("style sheet names the unknown colour %1").arg(match.captured(1));
            return false;
        }
        filled += QStringView(sheet).mid(done, match.capturedStart() - done);
        filled += cssColor(*color);
        done = match.capturedEnd();
    }
    filled += QStringView(sheet).mid(done);
    sheet = filled;
    return true;
}

}  // namespace

std::optional<QColor> Skin::color(const QString& colorName) const {
    const auto it = colors.constFind(colorName.toLower());
    if (it == colors.constEnd()) return std::nullopt;
    return *it;
}

SkinLoad loadSkin(const QString& folder, const QString& iniName) {
    SkinLoad result;
    const auto bytes = readSmallFile(QDir(folder).filePath(iniName), result.error);
    if (!bytes) return result;

    IniText ini;
    if (!ini.parse(*bytes)) {
        result.error = QStringLiteral("%1: %2").arg(iniName, ini.error());
        return result;
    }
    if (!ini.hasSection(QStringLiteral("Skin"))) {
        result.error = QStringLiteral("%1 has no [Skin] section").arg(iniName);
        return result;
    }
    Skin skin;
    skin.name = ini.value(QStringLiteral("Skin"), QStringLiteral("Name"));
    if (!readColors(ini, skin, result.error) || !readFont(ini, skin, result.error)) return result;
    auto sheet = readStyleSheetText(ini, folder, result.error);
    if (!sheet || !fillColors(*sheet, skin, result.error)) return result;
    skin.styleSheet = *sheet;
    result.skin = std::move(skin);
    return result;
}

SkinLoad loadApplicationSkin(const QString& applicationFolder) {
    return loadSkin(QDir(applicationFolder).filePath(QStringLiteral("Styles/iTunes")), QStringLiteral("Normalitunes.ini"));
}

}  // namespace zenvira::ui
