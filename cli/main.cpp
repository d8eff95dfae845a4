#include "cli/CliApp.h"

using namespace corvanetov;

int main(int argc, char** argv)
{
    return CliApp().Run(argc, argv);
}
