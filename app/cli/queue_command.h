#pragma once
// zenvira-cli queue: adds to, lists, changes and runs the download queue.
//   queue add [--quality N] [-o DIR] [--all] ADDRESS...|-
//   queue list [--json]
//   queue pause|resume|remove|retry ID...|--all
//   queue run [--jobs N] [--connections N] [--limit-rate RATE] [--json] [-q]
// Every one takes --queue FILE (else $ZENVIRA_QUEUE, else the user's data folder).
#include <QStringList>

namespace zenvira::cli {

// Whether the command line's command is `queue` (options may stand before it).
bool isQueueCommand(const QStringList& arguments);

// Exit status: 0 done, 1 something failed (a download, an unknown id, the queue file), 2 a
// wrong command line. Needs a QCoreApplication.
int runQueue(const QStringList& arguments);

}  // namespace zenvira::cli
