#include "app/startup.h"
#include "platform/platform.h"

int main(int argc, char** argv) { plat::exitProcess(runProgram(argc, argv)); }
