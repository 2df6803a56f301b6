#pragma once
// What an unfinished download leaves beside its file: the `.part` and its `.part.state`.
#include <string>

namespace zenvira::queue {

// Deletes the partial files of `file` once no download holds them any more (a runner stops a
// removed entry within a second or so), never `file` itself. False, with `error`, when they
// are still held after a few seconds or cannot be deleted; true when there were none.
bool removePartialFiles(const std::string& file, std::string& error);

}  // namespace zenvira::queue
