#pragma once
// What an unfinished download leaves beside its file: the `.part` and its `.part.state`.
#include <string>

#include "queue/queue_entry.h"

namespace zenvira::queue {

// Deletes the partial files of `entry`'s download once no download holds them any more (a
// runner stops a removed entry within a second or so), never a saved file. Its part is the
// one beside its file, or beside `NAME (2).ext`... when another video of the same title had
// that name first; a part another download made is never touched. False, with `error`, when
// it is still held after a few seconds or cannot be deleted; true when there was none.
bool removePartialFiles(const Entry& entry, std::string& error);

}  // namespace zenvira::queue
