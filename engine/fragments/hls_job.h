#pragma once
// A download whose address is an HLS playlist: its segments come over several connections
// at once into `<target>.part.segments/`, decrypted when the playlist names an AES-128 key,
// and are joined without re-encoding into `<target>.part`, renamed onto the target only when
// whole. `<target>.part.hls` lists the segments on the disk, so a stopped or failed download
// goes on where it stopped. A live playlist (no end) is refused. Every read of the job is held
// to its rate together. An address that expires (403, 410) is renewed from its page, and
// the fragments on the disk go on with the renewed stream only when it is still the same one.
#include <functional>
#include <string>
#include <vector>

#include "engine/request/download_request.h"
#include "engine/transfer/progress_meter.h"
#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

// True for an address whose path ends in ".m3u8" (or ".m3u").
bool isPlaylistAddress(const std::string& address);

// True for an address whose path ends in ".mpd" (a DASH manifest).
bool isManifestAddress(const std::string& address);

JobResult runHlsJob(const JobSettings& settings, ProgressMeter& meter, CancelToken& stop, std::function<void()> tick);

// The playlist of `settings` with the tracks to be joined with it (its sound, a playlist of
// its own): every track's segments come over the same connections, recorded in one journal,
// and are joined into the container the target's name says ("mp4", "webm", "mkv").
// A master playlist's variant whose sound is a rendition of its own gets it the same way.
// A DASH manifest at `settings.address`: the representations of these ids (the first the
// main track; none given: the best video and its sound) fetched and joined as the tracks of
// runHlsTracksJob, under the same names, journal, resume and stop. A live or protected
// manifest is refused with its sentence.
JobResult runDashJob(const JobSettings& settings, const std::vector<std::string>& representations, ProgressMeter& meter,
                     CancelToken& stop, std::function<void()> tick);

JobResult runHlsTracksJob(const JobSettings& settings, const std::vector<std::string>& companions, ProgressMeter& meter,
                          CancelToken& stop, std::function<void()> tick);

}  // namespace zenvira::components
