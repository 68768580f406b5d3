#include "recovery.h"

int main(int argc, char **argv)
{
    return salvex::salvex_main(argc, argv);
}
