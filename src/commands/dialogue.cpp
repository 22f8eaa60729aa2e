// The target dialogue. For now it only wakes the target and lets it go again.
#include "commands/commands.h"
#include "link/link.h"

namespace quillon {

void printHelp() {}

int32_t interpretCommand(std::string_view) {
    return 1;
}

void runTargetDialogue(int, char**) {
    enterProgrammingMode();
    releaseTarget();
}

} // namespace quillon
