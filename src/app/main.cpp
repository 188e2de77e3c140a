#include "framework/processenv.h"
#include "app/startup.h"
#include "platform/programpath.h"

int main(int argc, char **argv) {
    tarv::prepareProcessEnvironment();
    // Started by the command-line front, the program takes the front's place as the program the
    // user started (its folder holds the ledger; the autostart entry names it).
    tarv::adoptProgramPath();
    return tarv::runProgram(argc, argv);
}
