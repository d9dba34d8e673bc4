// portquest-list TEXT: prints the COM ports whose device name contains TEXT,
// one per line, in the order the system lists them.
#include "portquest.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: %s TEXT\n"
                     "  lists the COM ports whose device name contains TEXT "
                     "(\"\" lists every port)\n",
                     argc > 0 ? argv[0] : "portquest-list");
        return 2;
    }
    int ports[255];
    int count = PortQuest(argv[1], ports, 255);
    for (int i = 0; i < count; ++i) {
        std::printf("COM%d\n", ports[i]);
    }
    return count > 0 ? 0 : 1;
}
