#pragma once
// The GUI's handler for the Open-dialog seam: a QFileDialog showing what the request asks.
#include <QStringList>
#include <string>

#include "components/file_dialog/file_dialog.h"

namespace zenvira::ui {

// The classic filter text ("Flash video file (*.flv)|*.flv|All|*.*") as Qt name filters
// ("Flash video file (*.flv)", "All (*.*)").
QStringList qtNameFilters(const std::string& classicFilter);

// Shows the dialog modally over the active window; the chosen path, or empty text.
std::string showQtOpenFileDialog(const components::OpenFileDialogRequest& request);

// Routes every Open dialog of the program to showQtOpenFileDialog.
void installQtFileDialogHandler();

}  // namespace zenvira::ui
