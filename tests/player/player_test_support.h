#pragma once
// One QApplication for the whole test binary: offscreen, the Flash stand-in without video or
// sound output, and HOME and the XDG folders in a temporary folder, so the file association
// that every player window writes never reaches the real user's desktop.
#include <QApplication>
#include <QString>

QApplication& testApplication();

// The temporary home of this test binary (XDG_DATA_HOME and XDG_CONFIG_HOME lie inside it).
QString testHome();

// A fresh, empty folder in the test binary's temporary folder.
QString freshFolder(const QString& name);

// A 2-second FLV (video and MP3 audio) made with ffmpeg, at "<temp>/My Videos/a b.flv";
// empty when ffmpeg cannot make it.
QString testClip();

#include <ostream>

// Readable failures for Qt text.
inline std::ostream& operator<<(std::ostream& os, const QString& text) { return os << text.toStdString(); }
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

#include <QRect>
#include <QSize>

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) { *os << "QSize(" << s.width() << ", " << s.height() << ")"; }
