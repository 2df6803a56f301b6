#pragma once
// The output file is written under a temporary name in its own folder and moved onto its
// real name only when FFmpeg has succeeded: a failed or stopped conversion leaves neither a
// truncated file under the real name nor a damaged earlier output there.
//
// The temporary name is hidden and keeps the extension, which tells FFmpeg the container:
// "/v/my clip.mp3" is written as "/v/.my clip.part.mp3".
#include <string>

namespace zenvira::encoder {

// The temporary name for `output`, or empty when `output` is no plain file path (a pipe
// or an address, which are written directly).
std::string stagingPathFor(const std::string& output);

class StagedOutput {
public:
    // Removes a leftover of an earlier, killed run under the temporary name.
    explicit StagedOutput(std::string output);
    // Removes the temporary file unless it was committed.
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    // Where FFmpeg writes: the temporary name, or the output itself when it is not staged.
    const std::string& writePath() const { return staging_.empty() ? output_ : staging_; }
    // Moves the finished file onto the output. Nothing to move (FFmpeg wrote no file) is not
    // an error: the output is then simply absent. False with the reason when the move fails.
    bool commit(std::string& error);

private:
    std::string output_;
    std::string staging_;
    bool committed_ = false;
};

// True when `output` is a plain file path that exists (FFmpeg's refusal without -y).
bool outputExists(const std::string& output);

}  // namespace zenvira::encoder
