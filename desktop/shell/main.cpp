// quorvane: the desktop program.
#include "desktop/shell/DesktopProgram.h"

int main(int argc, char** argv)
{
    return shell::RunDesktopProgram(argc, argv);
}
