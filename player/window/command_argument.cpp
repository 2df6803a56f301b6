#include "player/window/command_argument.h"

#include <QCoreApplication>
#include <QStringList>

#include "base/text_ops.h"

namespace zenvira::player {

std::string CommandArgument(std::string_view argumentText, std::string_view key) {
    if (argumentText.empty()) return {};
    const std::size_t position = text::find(argumentText, key);
    if (position == 0) return {};
    return text::mid(argumentText, position + key.size());
}

std::string argumentTextOf(const std::vector<std::string>& arguments) {
    std::string joined;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) joined += ' ';
        joined += arguments[i];
    }
    return joined;
}

std::string processArgumentText() {
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
    return argumentTextOf(arguments);
}

}  // namespace zenvira::player
