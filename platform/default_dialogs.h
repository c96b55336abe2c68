#pragma once
// The non-interactive back end in force until a desktop back end is installed: every
// question is answered No (so nothing is erased or overwritten), messages go to
// standard error, and the file selector chooses nothing.

#include "platform/dialogs.h"

namespace platform {

class DefaultDialogs final : public Dialogs {
public:
    bool askYesNo(const char* title, const char* text) override;
    void showMessage(const char* title, const char* text) override;
    bool selectFile(const FileSelectRequest& request, char* result) override;
};

}  // namespace platform
