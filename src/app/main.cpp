#include "framework/processenv.h"
#include "app/startup.h"

int main(int argc, char **argv) {
    tarv::prepareProcessEnvironment();
    return tarv::runProgram(argc, argv);
}
