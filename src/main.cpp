#include "app/ui/program.h"

int main(int argc, char** argv) {
    return app::ui::RunQuillor(argc, argv);
}
