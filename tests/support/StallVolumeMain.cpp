// A volume that stops answering, for looking at Corvane by hand and for the manual's pictures:
//   corvane_stall_volume MOUNTPOINT [SUBTYPE]
// serves a few files at MOUNTPOINT; each line "stall" or "release" on standard input switches
// it; end of input unmounts.
#include "StallFs.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s MOUNTPOINT [SUBTYPE]\n", argv[0]);
        return 2;
    }
    corvane::test::StallFs fs(argv[1], {"Reports/", "Reports/2026.txt", "notes.txt", "photo.png"},
                              argc > 2 ? argv[2] : "sshfs");
    if (!fs.ok()) {
        std::fprintf(stderr, "cannot mount at %s\n", argv[1]);
        return 1;
    }
    fs.SetGuardedThread(0);
    std::printf("mounted\n");
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "stall")
            fs.Stall();
        else if (line == "release")
            fs.Release();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    return 0;
}
