#include "startup/ui/app_main.h"

int main(int argc, char** argv) {
    return startup::RunProgram(argc, argv);
}
