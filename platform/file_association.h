#pragma once
// The system's side of a file-type association: the places where a desktop looks up which
// program opens a kind of file, and the writes into them. Windows keeps the association in
// the registry; free desktops keep it in files under the user's XDG folders (a desktop entry,
// the shared MIME database, mimeapps.list). Each call reports failure with the system's reason
// and leaves the next step to the caller.
#include <string>

namespace zenvira::platform {

enum class AssociationStore { Registry, Xdg };

// Where this system keeps file associations.
AssociationStore associationStore();

// --- Registry (Windows) ---------------------------------------------------------------------
// Paths are written as the Windows scripting shell writes them: a root (HKCR, HKCU, HKLM, HKU,
// HKCC or the long HKEY_ names), then keys separated by "\". A path ending in "\" names the
// key's default value; otherwise the last part names a value under the key before it.

// Stores `value` as a string value, creating missing keys.
bool registryWrite(const std::string& path, const std::string& value, std::string& error);
// Deletes the value, or, for a path ending in "\", the key with everything under it.
bool registryDelete(const std::string& path, std::string& error);

// --- XDG (free desktops) --------------------------------------------------------------------
struct XdgFolders {
    std::string dataHome;    // $XDG_DATA_HOME, else $HOME/.local/share
    std::string configHome;  // $XDG_CONFIG_HOME, else $HOME/.config
};

// The user's folders without a trailing separator; a member is empty when neither the variable
// nor $HOME names an absolute folder.
XdgFolders xdgFolders();

// Rebuilds the MIME database under `mimeFolder` (the folder holding packages/).
bool refreshMimeDatabase(const std::string& mimeFolder, std::string& error);
// Rebuilds the MIME-type cache of the desktop entries in `applicationsFolder`.
bool refreshDesktopDatabase(const std::string& applicationsFolder, std::string& error);

}  // namespace zenvira::platform
