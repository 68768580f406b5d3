#include "commands.h"

int main(int argc, char **argv)
{
    return durnix::run(argc, argv);
}
