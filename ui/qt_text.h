#pragma once
// The logic's UTF-8 text, held in string views, as the windows' Qt text.
#include <QString>
#include <string_view>

namespace zenvira::ui {

inline QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace zenvira::ui
