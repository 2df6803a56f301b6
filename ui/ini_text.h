#pragma once
// A small INI reader for skin files: [sections], key=value lines, ';' and '#' comments.
// Section and key names compare without regard to case, as INI files always have; a line
// that is none of these makes the whole text unreadable, so a damaged file is noticed.
#include <QByteArray>
#include <QMap>
#include <QString>

namespace zenvira::ui {

class IniText {
public:
    // Reads the text; on failure returns false and says why in error().
    bool parse(const QByteArray& bytes);
    const QString& error() const { return error_; }

    bool hasSection(const QString& section) const;
    // The value, or fallback when the section or key is absent.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    // The section's keys (lower case) with their values.
    QMap<QString, QString> section(const QString& section) const;

private:
    bool fail(int lineNumber, const QString& why);

    QMap<QString, QMap<QString, QString>> sections_;
    QString error_;
};

}  // namespace zenvira::ui
