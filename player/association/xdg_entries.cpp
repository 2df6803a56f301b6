#include "player/association/xdg_entries.h"

#include <optional>
#include <vector>

#include "base/text_ops.h"

namespace zenvira::player {

namespace {

bool isIdCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// Characters that make an Exec argument need quotes.
bool isReservedInExec(char c) {
    return std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
}

std::string xmlEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// String values of a desktop entry keep backslashes and line breaks only escaped.
std::string desktopValueEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

// --- mimeapps.list as lines ---

struct KeyFileLines {
    std::vector<std::string> lines;  // without their line breaks
};

KeyFileLines splitLines(std::string_view text) {
    KeyFileLines file;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            file.lines.emplace_back(text.substr(start));
            break;
        }
        file.lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return file;
}

std::string joinLines(const KeyFileLines& file) {
    std::string out;
    for (const auto& line : file.lines) out += line + "\n";
    return out;
}

bool isSectionHeader(std::string_view line) {
    const std::string trimmed = text::trimBlanks(line);
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

// The key of a "key=value" line, blanks around it removed; nullopt for other lines.
std::optional<std::string> keyOf(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos || isSectionHeader(line)) return std::nullopt;
    const std::string trimmed = text::trimBlanks(line);
    if (trimmed.empty() || trimmed.front() == '#') return std::nullopt;
    return text::trimBlanks(line.substr(0, equals));
}

std::string valueOf(std::string_view line) { return text::trimBlanks(line.substr(line.find('=') + 1)); }

using ValueUpdate = std::string (*)(const std::optional<std::string>& old, std::string_view desktopFile);

// Sets key in section to the updated value: the first line with that key is replaced, later
// ones are dropped; a missing key goes to the end of its section, a missing section to the end.
void setEntry(KeyFileLines& file, std::string_view section, std::string_view key, std::string_view desktopFile,
              ValueUpdate update) {
    const std::string header = "[" + std::string(section) + "]";
    std::size_t i = 0;
    while (i < file.lines.size() && text::trimBlanks(file.lines[i]) != header) ++i;
    if (i == file.lines.size()) {
        if (!file.lines.empty() && !text::trimBlanks(file.lines.back()).empty()) file.lines.emplace_back();
        file.lines.push_back(header);
        file.lines.push_back(std::string(key) + "=" + update(std::nullopt, desktopFile));
        return;
    }
    std::size_t insertAt = i + 1;
    std::optional<std::size_t> found;
    for (std::size_t j = i + 1; j < file.lines.size() && !isSectionHeader(file.lines[j]);) {
        if (keyOf(file.lines[j]) == key) {
            if (found) {
                file.lines.erase(file.lines.begin() + static_cast<std::ptrdiff_t>(j));
                continue;
            }
            found = j;
        }
        if (!text::trimBlanks(file.lines[j]).empty()) insertAt = j + 1;
        ++j;
    }
    if (found) {
        file.lines[*found] = std::string(key) + "=" + update(valueOf(file.lines[*found]), desktopFile);
    } else {
        file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                          std::string(key) + "=" + update(std::nullopt, desktopFile));
    }
}

std::string onlyThisProgram(const std::optional<std::string>&, std::string_view desktopFile) {
    return std::string(desktopFile) + ";";
}

std::string thisProgramFirst(const std::optional<std::string>& old, std::string_view desktopFile) {
    std::string value = std::string(desktopFile) + ";";
    if (!old) return value;
    std::size_t start = 0;
    while (start <= old->size()) {
        auto end = old->find(';', start);
        if (end == std::string::npos) end = old->size();
        const std::string entry = text::trimBlanks(std::string_view(*old).substr(start, end - start));
        if (!entry.empty() && entry != desktopFile) value += entry + ";";
        start = end + 1;
    }
    return value;
}

}  // namespace

std::string mimeTypeForExtension(std::string_view ext, std::string_view progid) {
    if (text::lowerAscii(ext) == ".flv") return "video/x-flv";
    std::string name;
    for (const char c : text::lowerAscii(progid)) name += isIdCharacter(c) ? c : '-';
    return "application/x-" + (name.empty() ? std::string("zenvira") : name);
}

std::string desktopIdForProgram(std::string_view exe) {
    const auto separator = exe.find_last_of("/\\");
    std::string_view name = separator == std::string_view::npos ? exe : exe.substr(separator + 1);
    if (name.size() > 4 && text::lowerAscii(name.substr(name.size() - 4)) == ".exe") name.remove_suffix(4);
    std::string id;
    for (const char c : name) id += isIdCharacter(c) ? c : '-';
    return id.empty() ? "zenvira" : id;
}

std::string desktopExecArgument(std::string_view argument) {
    std::string escaped;
    bool needsQuotes = argument.empty();
    for (const char c : argument) {
        if (c == '%') {
            escaped += "%%";  // a field code otherwise
            continue;
        }
        if (isReservedInExec(c)) needsQuotes = true;
        if (c == '"' || c == '`' || c == '$' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return needsQuotes ? "\"" + escaped + "\"" : escaped;
}

std::string desktopEntryText(std::string_view exe, std::string_view iconPath, std::string_view mimeType) {
    // %f: the file arrives as one argument, blanks and all.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Zenvira\n"
           "GenericName=FLV Player\n"
           "Comment=Plays Flash video files\n"
           "Exec=" + desktopValueEscaped(desktopExecArgument(exe)) + " %f\n"
           "Icon=" + desktopValueEscaped(iconPath) + "\n"
           "Terminal=false\n"
           "MimeType=" + std::string(mimeType) + ";\n"
           "Categories=AudioVideo;Video;Player;\n";
}

std::string mimePackageText(std::string_view ext, std::string_view mimeType) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + xmlEscaped(mimeType) + "\">\n"
           "    <glob pattern=\"*" + xmlEscaped(ext) + "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string mimeappsWithDefault(std::string_view mimeapps, std::string_view mimeType, std::string_view desktopFile) {
    KeyFileLines file = splitLines(mimeapps);
    setEntry(file, "Default Applications", mimeType, desktopFile, onlyThisProgram);
    setEntry(file, "Added Associations", mimeType, desktopFile, thisProgramFirst);
    return joinLines(file);
}

std::string_view programIconSvg() {
    return R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <defs>
    <linearGradient id="body" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#3a7bd5"/>
      <stop offset="1" stop-color="#1c3f7a"/>
    </linearGradient>
  </defs>
  <rect x="4" y="4" width="56" height="56" rx="12" fill="url(#body)"/>
  <path d="M18 16 H46 L26 44 H46 V48 H18 L38 20 H18 Z" fill="#ffffff"/>
  <path d="M40 36 L52 44 L40 52 Z" fill="#ffcc33"/>
</svg>
)svg";
}

}  // namespace zenvira::player
