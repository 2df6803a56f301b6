#pragma once
// Where the FFmpeg programs are: $ZENVIRA_FFMPEG when set (a path, or a name looked up on
// PATH), else ffmpeg on PATH; ffprobe beside that ffmpeg, else on PATH.
#include <string>

namespace zenvira::platform {

// The ffmpeg to run, or empty with the reason in `error`.
std::string findFfmpeg(std::string& error);
// The ffprobe that goes with `ffmpeg`, or empty with the reason in `error`.
std::string findFfprobe(const std::string& ffmpeg, std::string& error);
// A program named as a user names it: a path, or a bare name looked up on PATH; "" when none.
std::string findProgram(const std::string& nameOrPath);

}  // namespace zenvira::platform
