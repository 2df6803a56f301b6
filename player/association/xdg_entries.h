#pragma once
// The texts of a file association on free desktops (freedesktop.org): the program's desktop
// entry, a shared-MIME-info package mapping the extension to its MIME type, and the user's
// mimeapps.list naming the program as that type's default. Pure text in, text out.
#include <string>
#include <string_view>

namespace zenvira::player {

// The MIME type a desktop knows files ending in `ext` by (".flv" is video/x-flv); for an
// extension without a registered type, a private type named after `progid`.
std::string mimeTypeForExtension(std::string_view ext, std::string_view progid);

// The desktop-entry id of a program: its file name without folder or ".exe", letters,
// digits, "-" and "_" kept, anything else "-" ("/opt/Zenvira/zenvira" -> "zenvira").
std::string desktopIdForProgram(std::string_view exe);

// One argument of an Exec line, quoted and escaped as desktop entries require when it
// holds blanks or other reserved characters.
std::string desktopExecArgument(std::string_view argument);

// A desktop entry that opens files of `mimeType` with `exe`, the file as its one argument.
std::string desktopEntryText(std::string_view exe, std::string_view iconPath, std::string_view mimeType);

// A shared-MIME-info package: files named *`ext` are of `mimeType`.
std::string mimePackageText(std::string_view ext, std::string_view mimeType);

// `mimeapps` (the text of a mimeapps.list, possibly empty) with `desktopFile` as the default
// for `mimeType`, replacing an earlier default, and first among the type's added
// associations. Every other line stays as it was.
std::string mimeappsWithDefault(std::string_view mimeapps, std::string_view mimeType, std::string_view desktopFile);

// The program's icon, drawn for any size (SVG).
std::string_view programIconSvg();

}  // namespace zenvira::player
