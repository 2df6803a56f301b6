#pragma once
// What the FFmpeg module hands the front of this component: one table of functions, behind
// one exported name. FFmpeg's libraries (and the codecs, fonts and graphics libraries they
// pull in) load with the module on first use, not at every program's start.
//
// Front and module come from one build, so the table holds ordinary C++ signatures; its
// version and the sizes of the structures it passes keep a module from another build out.
#include "media/media_file/media_probe.h"
#include "media/media_file/segment_join.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zenvira::components::media_module {

inline constexpr const char* kEntryName = "zenvira_media_functions";
inline constexpr int kVersion = 3;

struct Functions {
    int version = kVersion;
    std::size_t factsSize = sizeof(MediaFacts);
    std::size_t joinResultSize = sizeof(JoinResult);
    MediaFacts (*probe)(std::string_view firstBytes) = nullptr;
    JoinResult (*join)(const std::vector<std::string>& pieces, const std::string& output,
                       const JoinCancelled& cancelled) = nullptr;
    JoinResult (*joinTracks)(const std::vector<std::vector<std::string>>& tracks, const std::string& output,
                             const std::string& container, const JoinCancelled& cancelled) = nullptr;
};

// The type of the exported entry.
using Entry = const Functions* (*)();

// The module's table, or nullptr with one line saying why in `error`. `candidates` are tried
// in turn: the first that exists is loaded (the first of all when none does, for its reason).
const Functions* load(const std::vector<std::string>& candidates, std::string& error);

// Where the module is looked for: `$ZENVIRA_MEDIA_MODULE` alone when set; else beside the
// running program, then, for a program that runs from the build tree (a test, a benchmark),
// where the build puts it.
std::vector<std::string> candidates();

// The module, loaded on the first call, once per process and safely from any thread.
const Functions* loaded(std::string& error);

}  // namespace zenvira::components::media_module
