#include "convert/window/converter_layout.h"

namespace zenvira::convert {

const std::vector<std::string_view>& formatListEntries() {
    static const std::vector<std::string_view> entries = {
        "AVI (MPEG4-DivX-Compatible)", "AVI (MPEG4-DivX-Best Quality)", "AVI (MPEG4-XviD-Compatible)",
        "AVI (MPEG4-XviD-Best Quality)", "iPOD Video (320x240) MPEG4", "iPOD Video2 (640x480) MPEG4",
        "iPhone Video", "iPOD Nano (MP3)", "iPOD Mini (MP3)", "iPOD Shuffle (MP3)", "MPEG (Max Compatible)",
        "MPEG (Best Quality)", "WMV(WindowsMedia-Compatible)", "WMV(WindowsMedia-Best Quality)",
        "RM (RealONE/RealPlayer)", "QuickTime MOV", "Sony PSP (Normal)", "Sony PSP (Excellent Quality)",
        "Sony PSP (Minimal Size)", "Sony PSP (PSP AVC)", "Zune MPEG-4 Video", "Zune MPEG-4 AVC", "Zune WMV",
        "3GP (for Mobile)", "3G2 (for Mobile)", "MP3 Sound (MP3)", "WAVE Sound (WAV)"};
    return entries;
}

const std::vector<ControlEntry>& converterControls() {
    static const std::vector<ControlEntry> controls = {
        {"Label2", "Select file", {120, 120, 1215, 255}},
        {"txtFname", "", {120, 480, 3855, 345}},
        {"cmdLoad", "Browse", {4080, 480, 735, 345}},
        {"Label1", "Select format", {120, 960, 1215, 255}},
        {"cmbFormat", "ComboBox1", {120, 1320, 3855, 315}},
        {"cmdConvert", "Convert", {4080, 1320, 735, 345}},
        {"lblStatus", "Status:", {120, 1800, 3255, 255}},
        {"pbConv", "", {0, 2160, 4815, 255}},
    };
    return controls;
}

const ControlEntry& converterControl(std::string_view name) { return ui::findControl(converterControls(), name); }

}  // namespace zenvira::convert
