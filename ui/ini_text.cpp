#include "ui/ini_text.h"

#include <QList>

namespace zenvira::ui {

bool IniText::parse(const QByteArray& bytes) {
    sections_.clear();
    error_.clear();
    if (bytes.contains('\0')) return fail(0, QStringLiteral("holds binary data"));
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);  // a byte-order mark some editors write

    QString current;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']') || line.size() < 3) return fail(i + 1, QStringLiteral("is not a section header"));
            current = line.mid(1, line.size() - 2).trimmed().toLower();
            sections_[current];
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) return fail(i + 1, QStringLiteral("is not a key=value line"));
        if (current.isEmpty()) return fail(i + 1, QStringLiteral("stands before the first section"));
        sections_[current][line.left(equals).trimmed().toLower()] = line.mid(equals + 1).trimmed();
    }
    return true;
}

bool IniText::hasSection(const QString& section) const { return sections_.contains(section.toLower()); }

QString IniText::value(const QString& section, const QString& key, const QString& fallback) const {
    const auto s = sections_.constFind(section.toLower());
    if (s == sections_.constEnd()) return fallback;
    return s->value(key.toLower(), fallback);
}

QMap<QString, QString> IniText::section(const QString& section) const { return sections_.value(section.toLower()); }

bool IniText::fail(int lineNumber, const QString& why) {
    sections_.clear();
    error_ = lineNumber > 0 ? QStringLiteral("line %1 %2").arg(lineNumber).arg(why) : why;
    return false;
}

}  // namespace zenvira::ui
