#pragma once
// Where the queue lives: the --queue option when given, else $ZENVIRA_QUEUE, else
// $XDG_DATA_HOME/zenvira/queue.sqlite ($HOME/.local/share/... without it; %LOCALAPPDATA% on
// Windows). Empty when the system names no such folder.
#include <string>

namespace zenvira::queue {

std::string defaultQueuePath(const std::string& optionOrEmpty = {});

}  // namespace zenvira::queue
