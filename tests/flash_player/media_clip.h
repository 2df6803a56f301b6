#pragma once
// Test media made with ffmpeg at run time, and the player movie written out as the window
// does, in one temporary folder per test binary.
#include <QString>

// A 3-second 640x360 FLV (video and MP3 audio) at "<temp>/My Videos/a b.flv"; empty when
// ffmpeg is not there.
QString testClip();

// The player movie from the application's resources, written to a file without extension.
QString testMovieFile();

// A file in the temporary folder holding the given bytes.
QString testFileWith(const QString& name, const QByteArray& bytes);
