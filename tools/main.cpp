// grainwheel-host: a small command-line VST 2.x host.
//   grainwheel-host info PLUGIN.so            what the plug-in says about itself
//   grainwheel-host render PLUGIN.so [options] -o OUT.wav   offline render
//   grainwheel-host editor PLUGIN.so [options]   the editor without a window: snapshot, layout, script
//   grainwheel-host gui PLUGIN.so [options]      the editor in an X11 window, processing in real time
//   grainwheel-host toolkit-gallery OUT.png   (when built with the toolkit gallery)

#include <cstdio>
#include <cstring>

#include "tools/editor_command.h"
#if defined(GW_HAVE_GUI_COMMAND)
#include "tools/gui_command.h"
#endif
#include "tools/info_command.h"
#include "tools/render_command.h"

#if defined(GW_HAVE_GALLERY)
int runToolkitGallery(const char* outPng);
#endif

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: grainwheel-host info PLUGIN.so\n"
                 "       grainwheel-host render PLUGIN.so [options] -o OUT.wav   (render --help)\n"
                 "       grainwheel-host editor PLUGIN.so [options]   the editor without a window (editor --help)\n"
#if defined(GW_HAVE_GUI_COMMAND)
                 "       grainwheel-host gui PLUGIN.so [options]      the editor in a window, playing (gui --help)\n"
#endif
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
    if (std::strcmp(command, "render") == 0) {
        if (argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0)) {
            std::fputs(gwhost::renderUsage(), stdout);
            return 0;
        }
        return gwhost::runRender(argc - 2, argv + 2, stdout);
    }
    if (std::strcmp(command, "editor") == 0) {
        if (argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0)) {
            std::fputs(gwhost::editorUsage(), stdout);
            return 0;
        }
        return gwhost::runEditor(argc - 2, argv + 2, stdout);
    }
#if defined(GW_HAVE_GUI_COMMAND)
    if (std::strcmp(command, "gui") == 0) {
        if (argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0)) {
            std::fputs(gwhost::guiUsage(), stdout);
            return 0;
        }
        return gwhost::runGui(argc - 2, argv + 2, stdout);
    }
#endif
#if defined(GW_HAVE_GALLERY)
    if (std::strcmp(command, "toolkit-gallery") == 0 && argc == 3) return runToolkitGallery(argv[2]);
#endif
    usage();
    return 2;
}
