#include "meter/startup.h"

int main(int argc, char **argv) {
    return tarv::runProgram(argc, argv);
}
