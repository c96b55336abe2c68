// grainwheel-host: a small command-line VST 2.x host.
//   grainwheel-host info PLUGIN.so            what the plug-in says about itself
//   grainwheel-host toolkit-gallery OUT.png   (when built with the toolkit gallery)

#include <cstdio>
#include <cstring>

#include "tools/info_command.h"

#if defined(GW_HAVE_GALLERY)
int runToolkitGallery(const char* outPng);
#endif

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: grainwheel-host info PLUGIN.so\n"
#if defined(GW_HAVE_GALLERY)
                 "       grainwheel-host toolkit-gallery OUT.png\n"
#endif
    );
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage();
        return 2;
    }
    const char* command = argv[1];
    if (std::strcmp(command, "info") == 0 && argc == 3) return gwhost::runInfo(argv[2], stdout);
#if defined(GW_HAVE_GALLERY)
    if (std::strcmp(command, "toolkit-gallery") == 0 && argc == 3) return runToolkitGallery(argv[2]);
#endif
    usage();
    return 2;
}
