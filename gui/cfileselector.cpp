#include "gui/cfileselector.h"

namespace VSTGUI {

long CFileSelector::run(const platform::FileSelectRequest& request, char* result) {
    if (!result) return 0;
    return platform::dialogs().selectFile(request, result) ? 1 : 0;
}

}  // namespace VSTGUI
