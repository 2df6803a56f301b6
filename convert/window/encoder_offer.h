#pragma once
// The converter's check for the encoder at load, and the offer to fetch it when it is missing:
// Yes fetches and unpacks it into the application folder (with a progress dialog that can
// cancel), No tells where to get it by hand. Every message goes through the message-box seam.
#include <string>

class QWidget;

namespace zenvira::convert {

// True when avformat.dll stands in the application folder under exactly that name; a file
// spelt in other letters (AVFORMAT.DLL) does not count, though the job would still run it.
bool encoderInApplicationFolder();

enum class EncoderOffer {
    Present,      // nothing to do
    Fetched,      // Yes, and avformat.dll is now in place: the window closes, to be opened anew
    Declined,     // No: the manual instructions were shown
    FetchFailed,  // Yes, but the fetch or the unpacking failed and the box said why; nothing changed
};

// Runs the check and, when the encoder is missing, the "Dependancy Download" box and what the
// answer leads to. `address` is the encoder archive's web address.
EncoderOffer offerEncoder(const std::string& address, QWidget* dialogParent);

}  // namespace zenvira::convert
