#pragma once
// Subtitles saved beside a downloaded file as `NAME.LANG.vtt`: one WebVTT file, or an HLS
// playlist's WebVTT segments joined under one header. Each file takes its name only when whole.
#include <functional>
#include <string>
#include <vector>

#include "engine/request/download_request.h"
#include "engine/transfer/cancel_token.h"

namespace zenvira::components {

// The name of a subtitle file beside `savedPath` ("Film.mp4", "en" -> "Film.en.vtt").
std::string subtitlePath(const std::string& savedPath, const std::string& language);

// Saves each track; a sentence naming those that could not be saved (empty when all were).
std::string saveSubtitles(const std::vector<SubtitleTrack>& tracks, const std::string& savedPath,
                          const std::string& userAgent, CancelToken& stop, const std::function<void()>& tick);

// WebVTT segments as one file: the first keeps its header, the others lose theirs.
std::string joinWebVtt(const std::vector<std::string>& segments);

}  // namespace zenvira::components
