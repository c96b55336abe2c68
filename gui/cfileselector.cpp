#include "gui/cfileselector.h"

namespace VSTGUI {

long CFileSelector::run(const platform::FileSelectRequest& request, char* result) {
    if (!result) return 0;
    return platform::dialogs().selectFile(request, result) ? 1 : 0;
}

std::unique_ptr<platform::PendingFileSelection> CFileSelector::start(const platform::FileSelectRequest& request) {
    return platform::dialogs().startFileSelection(request);
}

}  // namespace VSTGUI
