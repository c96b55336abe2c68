#include "platform/scripted_dialogs.h"

#include <algorithm>
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

void ScriptedDialogs::recordRequest(const FileSelectRequest& request) {
    fileRequests.push_back(orEmpty(request.title));
    fileRequestDetails.push_back(
        {request.mode, orEmpty(request.title), orEmpty(request.typeName), orEmpty(request.extension)});
}

bool ScriptedDialogs::selectFile(const FileSelectRequest& request, char* result) {
    recordRequest(request);
    if (files.empty() || !result) return false;
    std::string path = files.front();
    files.pop_front();
    if (path.size() > kFileSelectionSize - 1) path.resize(kFileSelectionSize - 1);  // as the desktop cuts
    std::memcpy(result, path.c_str(), path.size() + 1);
    return true;
}

namespace {

class HeldSelection final : public PendingFileSelection {
public:
    explicit HeldSelection(std::shared_ptr<ScriptedDialogs::Held> h) : held(std::move(h)) {}
    ~HeldSelection() override {
        if (!held->answered) held->closedOpen = true;
    }
    State poll(char* result) override {
        if (!held->answered || held->closedOpen) return State::Open;
        if (!held->chosen) return State::Nothing;
        if (result) std::memcpy(result, held->path.c_str(), held->path.size() + 1);
        return State::Chosen;
    }

private:
    std::shared_ptr<ScriptedDialogs::Held> held;
};

}  // namespace

std::unique_ptr<PendingFileSelection> ScriptedDialogs::startFileSelection(const FileSelectRequest& request) {
    if (!holding) return Dialogs::startFileSelection(request);
    recordRequest(request);
    held.push_back(std::make_shared<Held>());
    return std::make_unique<HeldSelection>(held.back());
}

bool ScriptedDialogs::answerSelection(const char* path) {
    for (auto& h : held) {
        if (h->answered || h->closedOpen) continue;
        h->answered = true;
        h->chosen = path != nullptr;
        if (path) h->path.assign(path, std::min<std::size_t>(std::strlen(path), kFileSelectionSize - 1));
        return true;
    }
    return false;
}

int ScriptedDialogs::openSelections() const {
    int n = 0;
    for (const auto& h : held) n += !h->answered && !h->closedOpen;
    return n;
}

int ScriptedDialogs::selectionsClosedOpen() const {
    int n = 0;
    for (const auto& h : held) n += h->closedOpen;
    return n;
}

}  // namespace platform
