#include "tests/any_page/today_site.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "tests/media/web_media.h"
#include "tests/site/today_pages.h"

namespace zenvira::testsite {

namespace {

using testmedia::WebFormat;

std::string readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

site::StreamShape fileStream(const QString& path, const std::string& type) {
    site::StreamShape stream;
    stream.filePath = path.toStdString();
    stream.contentType = type;
    stream.etag = "\"" + std::to_string(QFileInfo(path).size()) + "\"";
    return stream;
}

site::FixedResponse document(std::string body, std::string type = "text/html; charset=utf-8") {
    site::FixedResponse response;
    response.body = std::move(body);
    response.contentType = std::move(type);
    return response;
}

std::string typeOf(const QString& name) {
    if (name.endsWith(".m3u8")) return "application/vnd.apple.mpegurl";
    if (name.endsWith(".mpd")) return "application/dash+xml";
    if (name.endsWith(".vtt")) return "text/vtt";
    if (name.endsWith(".ts")) return "video/mp2t";
    if (name.endsWith(".m4s") || name.endsWith(".mp4")) return "video/mp4";
    return "application/octet-stream";
}

// Every file of a ladder under /NAME/, as a stream server would serve them.
void serveLadder(site::FixtureSite& site, const QString& folder, const std::string& name = "hls") {
    const QDir root(folder + "/" + QString::fromStdString(name));
    for (const QString& sub : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QString& file : QDir(root.filePath(sub)).entryList(QDir::Files))
            site.addFixed("/" + name + "/" + sub.toStdString() + "/" + file.toStdString(),
                          document(readAll(root.filePath(sub + "/" + file)), typeOf(file)));
    site.addFixed("/" + name + "/master.m3u8", document(readAll(root.filePath("master.m3u8")), typeOf("master.m3u8")));
}

// Every file of a DASH presentation under /NAME/.
void serveFlat(site::FixtureSite& site, const QString& folder, const std::string& name) {
    const QDir root(folder + "/" + QString::fromStdString(name));
    for (const QString& file : root.entryList({"*.mpd", "*.m4s", "*.mp4"}, QDir::Files))
        site.addFixed("/" + name + "/" + file.toStdString(), document(readAll(root.filePath(file)), typeOf(file)));
}

// A manifest that names a protection scheme: its fragments cannot be read without a licence.
constexpr const char* kProtectedManifest =
    "<?xml version=\"1.0\"?>\n<MPD xmlns=\"urn:mpeg:dash:schema:mpd:2011\" type=\"static\" "
    "mediaPresentationDuration=\"PT6S\"><Period><AdaptationSet mimeType=\"video/mp4\">"
    "<ContentProtection schemeIdUri=\"urn:mpeg:dash:mp4protection:2011\" value=\"cenc\"/>"
    "<Representation id=\"v\" bandwidth=\"300000\" width=\"1280\" height=\"720\" codecs=\"avc1.64001f\">"
    "<SegmentTemplate initialization=\"init.m4s\" media=\"$Number$.m4s\" duration=\"2\"/></Representation>"
    "</AdaptationSet></Period></MPD>\n";

}  // namespace

QString todayMediaFolder() { return QStringLiteral(ZENVIRA_TODAY_MEDIA); }

bool prepareTodayMedia(const QString& folder) {
    QDir().mkpath(folder);
    // Test processes run in parallel: one makes the media, the others wait for it.
    const int lock = ::open((folder + "/.lock").toLocal8Bit().constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
    if (lock < 0) return false;
    ::flock(lock, LOCK_EX);
    bool ok = QFile::exists(folder + "/.done-6");
    if (!ok) {
        const QString hls = folder + "/hls";
        QDir(hls).removeRecursively();
        QDir(folder + "/hls-sound").removeRecursively();
        ok = testmedia::makeWebClip(folder + "/harbour_720p.mp4", WebFormat::Mp4, 1280, 720, 2) &&
             testmedia::makeWebClip(folder + "/harbour-360.webm", WebFormat::WebM, 640, 360, 2) &&
             testmedia::makeWebClip(folder + "/low.mp4", WebFormat::Mp4, 320, 240, 2) &&
             testmedia::makeWebClip(folder + "/direct.mp4", WebFormat::Mp4, 854, 480, 2) &&
             testmedia::makeHlsLadder(
                 hls, {{{426, 240, true, false}, {640, 360, false, true}, {1280, 720, false, false}}, 6, 2}) &&
             testmedia::makeHlsLadder(folder + "/hls-sound",
                                      {{{640, 360, true, false}, {1280, 720, true, false}}, 6, 2, true});
        using testmedia::DashShape;
        for (const auto& [name, shape] :
             {std::pair{"dash-timeline", DashShape::Timeline}, std::pair{"dash-template", DashShape::Template},
              std::pair{"dash-list", DashShape::List}, std::pair{"dash-ranges", DashShape::SingleFile},
              std::pair{"dash-sidx", DashShape::IndexedFile}})
            ok = ok && testmedia::makeDashSet(folder + "/" + name, shape, {720, 360}, 6) &&
                 !testmedia::dashTrackFile(folder + "/" + name, 0).isEmpty() &&
                 !testmedia::dashTrackFile(folder + "/" + name, 2, shape == DashShape::Template ? 3 : 0).isEmpty();
        if (ok) QFile(folder + "/.done-6").open(QIODevice::WriteOnly);
    }
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return ok;
}

void serveToday(site::FixtureSite& site, const QString& folder) {
    using site::SourceTag;
    site.addMedia("/media/harbour_720p.mp4", fileStream(folder + "/harbour_720p.mp4", "video/mp4"));
    site.addMedia("/media/harbour-360.webm", fileStream(folder + "/harbour-360.webm", "video/webm"));
    site.addMedia("/media/low.mp4", fileStream(folder + "/low.mp4", "video/mp4"));
    site.addMedia("/v/ld.mp4", fileStream(folder + "/harbour_720p.mp4", "video/mp4"));
    site.addMedia("/files/get/8f3a2c", fileStream(folder + "/direct.mp4", "video/mp4"));
    serveLadder(site, folder);
    serveLadder(site, folder, "hls-sound");
    for (const char* name : {"dash-timeline", "dash-template", "dash-list", "dash-ranges", "dash-sidx"})
        serveFlat(site, folder, name);
    site.addFixed("/clips/with-captions",
                  document("<!doctype html><html><head><title>Captions page</title></head><body><video controls>"
                           "<source src=\"/media/low.mp4\" type=\"video/mp4\">"
                           "<track kind=\"chapters\" srclang=\"en\" src=\"/subs/chapters.vtt\">"
                           "<track kind=\"captions\" srclang=\"de\" label=\"Deutsch\" src=\"/subs/de.vtt\">"
                           "</video></body></html>"));
    site.addFixed("/subs/de.vtt", document("WEBVTT\n\n00:00:00.200 --> 00:00:01.000\nErste Worte\n", "text/vtt"));
    // The template's manifest with a dead place first: every fragment falls over to the next.
    std::string failover = readAll(folder + "/dash-template/manifest.mpd");
    if (const auto period = failover.find("<Period"); period != std::string::npos)
        failover.insert(period,
                        "<BaseURL>http://dead.example.com/gone/</BaseURL>\n"
                        "<BaseURL>http://dash.example.com/dash-template/</BaseURL>\n");
    site.addFixed("/dash-failover/manifest.mpd", document(failover, "application/dash+xml"));
    site.addFixed("/dash-protected/manifest.mpd", document(kProtectedManifest, "application/dash+xml"));
    site.addFixed("/shows/dash-evening",
                  document(site::videoSourcesPage("Evening Show",
                                                  {{"/dash-template/manifest.mpd", "application/dash+xml", "", ""}})));
    site.addFixed("/embed/dash-player",
                  document(site::playerScriptPage("Player of DASH", "http://www.example.com/dash-list/manifest.mpd")));
    site.addFixed("/channel/live.m3u8", document("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\n/hls/720p/seg000.ts\n",
                                                 "application/vnd.apple.mpegurl"));

    site.addFixed("/clips/harbour",
                  document(site::videoSourcesPage("Harbour at dusk &amp; more",
                                               {{"/media/harbour_720p.mp4", "video/mp4", "label", "720p"},
                                                {"../media/harbour-360.webm", "video/webm", "data-quality", "360p"},
                                                {"http://cdn.example.com/media/low.mp4", "", "", ""}})));
    site.addFixed("/videos/77-sunset-drive",
                  document(site::jsonLdPage("Sunset Drive", "http://cdn.example.com/v/ld.mp4", 720)));
    site.addFixed("/p/og-clip", document(site::openGraphPage("Night City", "http://www.example.net/media/harbour-360.webm",
                                                             "video/webm", 360, "http://www.example.net/media/low.mp4")));
    site.addFixed("/live/88", document(site::playerScriptPage("Mountain Timelapse", kLadderAddress)));
    site.addFixed("/blog/no-video-here", document(site::pageWithoutVideo("Just words")));
}

std::vector<PageCase> todayCases() {
    return {
        {"video sources",
         "http://www.example.com/clips/harbour",
         "Harbour at dusk & more",
         {720, 360, 240},
         720,
         "mp4",
         2},
        {"JSON-LD", "http://www.example.com/videos/77-sunset-drive", "Sunset Drive", {720}, 720, "mp4", 2},
        {"og and twitter", "http://www.example.net/p/og-clip", "Night City", {360, 240}, 360, "webm", 2},
        {"player script with HLS",
         "http://www.example.com/live/88",
         "Mountain Timelapse",
         {720, 360, 240},
         720,
         "mp4",
         6},
        {"direct link", "http://files.example.com/files/get/8f3a2c", "8f3a2c", {480}, 480, "mp4", 2},
        {"HLS master link", kLadderAddress, "master", {720, 360, 240}, 720, "mp4", 6},
        {"HLS master with its sound apart",
         kSoundApartAddress,
         "master",
         {720, 360},
         720,
         "mp4",
         6,
         "hls-sound/720p/index.m3u8",
         "hls-sound/audio/index.m3u8"},
        {"DASH manifest link",
         kDashAddress,
         "manifest",
         {720, 360},
         720,
         "mp4",
         6,
         "dash-timeline/track-0.mp4",
         "dash-timeline/track-2.mp4"},
        {"DASH video source",
         "http://www.example.com/shows/dash-evening",
         "Evening Show",
         {720, 360},
         720,
         "mp4",
         6,
         "dash-template/track-0.mp4",
         "dash-template/track-2.mp4"},
        {"DASH with a dead first BaseURL",
         "http://dash.example.com/dash-failover/manifest.mpd",
         "manifest",
         {720, 360},
         720,
         "mp4",
         6,
         "dash-template/track-0.mp4",
         "dash-template/track-2.mp4"},
        {"DASH one file in byte ranges", "http://dash.example.com/dash-ranges/manifest.mpd", "manifest", {720, 360}, 720,
         "mp4", 6, "dash-ranges/manifest-stream0.mp4", "dash-ranges/manifest-stream2.mp4"},
        {"DASH one file and its index", "http://dash.example.com/dash-sidx/manifest.mpd", "manifest", {720, 360}, 720,
         "mp4", 6, "dash-sidx/manifest-stream0.mp4", "dash-sidx/manifest-stream2.mp4"},
        {"DASH in a player script",
         "http://www.example.com/embed/dash-player",
         "Player of DASH",
         {720, 360},
         720,
         "mp4",
         6,
         "dash-list/track-0.mp4",
         "dash-list/track-2.mp4"},
    };
}

}  // namespace zenvira::testsite
