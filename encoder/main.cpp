// avformat.dll: the encoder front the converter runs from the application folder.
#include <cstring>

#include "encoder/front.h"
#include "platform/program_arguments.h"
#include "platform/relayed_child.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], zenvira::platform::relay::kLauncherFlag) == 0)
        return zenvira::platform::relay::runLauncher(argc, argv);
    // Ended only here, after every temporary file is gone.
    return zenvira::platform::relay::endLike(
        zenvira::encoder::runFront(zenvira::platform::programArguments(argc, argv)));
}
