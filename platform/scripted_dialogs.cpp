#include "platform/scripted_dialogs.h"

#include <cstring>

namespace platform {

namespace {
std::string orEmpty(const char* s) { return s ? std::string(s) : std::string(); }
}  // namespace

bool ScriptedDialogs::askYesNo(const char* title, const char* text) {
    questions.push_back({orEmpty(title), orEmpty(text)});
    if (answers.empty()) return false;
    bool yes = answers.front();
    answers.pop_front();
    return yes;
}

void ScriptedDialogs::showMessage(const char* title, const char* text) {
    messages.push_back({orEmpty(title), orEmpty(text)});
}

bool ScriptedDialogs::selectFile(const FileSelectRequest& request, char* result) {
    fileRequests.push_back(orEmpty(request.title));
    fileRequestDetails.push_back(
        {request.mode, orEmpty(request.title), orEmpty(request.typeName), orEmpty(request.extension)});
    if (files.empty() || !result) return false;
    std::string path = files.front();
    files.pop_front();
    if (path.size() > kFileSelectionSize - 1) path.resize(kFileSelectionSize - 1);  // as the desktop cuts
    std::memcpy(result, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace platform
