#pragma once
// What the stream's tests and its bench both do: zenvira-cli started against the fixture site
// (through its proxy, in a home of its own), an HLS or DASH presentation put on the site, and
// the peers (ffmpeg, ffprobe, curl) reaching the served address straight, not through the proxy.
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

#include "tests/site/fixture_site.h"

namespace zenvira::served {

// The system's environment without the proxy: a peer reads 127.0.0.1 straight.
QProcessEnvironment peerEnvironment();
// Starts `cli` (zenvira-cli at `program`) with `arguments` in `home`, through the site's proxy,
// its drive c:\ under `home`.
void startCli(QProcess& cli, const QString& program, const site::FixtureSite& site, const QString& home,
              const QStringList& arguments);
// Puts every file under `folder` (an HLS ladder or a DASH set) on the site under "/STREAM/...",
// each media file brought at `bytesPerSecond` a connection; the address of its master playlist
// (DASH: its manifest).
std::string serveFragments(site::FixtureSite& site, const QString& folder, const std::string& stream, bool dash,
                           std::uint64_t bytesPerSecond);

// `path`, made once by ffmpeg with `arguments` (its output appended): written under a name of
// this process's own and renamed into place, for ctest runs several test processes at once and
// two writing one file leave a movie without streams. Empty when ffmpeg fails.
QString madeOnce(const QString& path, QStringList arguments);

}  // namespace zenvira::served
