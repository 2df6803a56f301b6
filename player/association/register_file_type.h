#pragma once
// Makes a program the opener of a file extension, the way this system keeps file types:
//   Windows: the eight registry steps of registry_steps.h;
//   free desktops (XDG): a desktop entry for the program (its Exec taking the file, its
//   icon), a MIME package mapping the extension to its type, the refreshed databases, and
//   the program as that type's default in the user's mimeapps.list.
// Every step runs even when one before it failed; nothing is shown to the user.
#include <string>
#include <vector>

namespace zenvira::player {

struct AssociationStepResult {
    std::string step;   // what the step writes, in words
    bool done = false;
    std::string error;  // why it was skipped, when not done
};

// ext with its dot (".flv"); progid names the Windows file class; exe is the program's full
// path. The results are for tests and diagnostics; the player window ignores them.
std::vector<AssociationStepResult> RegisterFileType(const std::string& ext, const std::string& progid,
                                                    const std::string& exe);

}  // namespace zenvira::player
