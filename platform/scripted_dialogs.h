#pragma once
// A Dialogs back end for tests: answers come from queues filled in advance, and every
// question, message and file request is recorded. An empty queue answers No / nothing.

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace platform {

class ScriptedDialogs final : public Dialogs {
public:
    struct Entry {
        std::string title;
        std::string text;
    };

    // Queues the answers of the coming questions, in order.
    void queueAnswer(bool yes) { answers.push_back(yes); }
    // Queues the path chosen by the next file selection.
    void queueFile(std::string path) { files.push_back(std::move(path)); }

    bool askYesNo(const char* title, const char* text) override;
    void showMessage(const char* title, const char* text) override;
    bool selectFile(const FileSelectRequest& request, char* result) override;

    std::vector<Entry> questions;
    std::vector<Entry> messages;
    std::vector<std::string> fileRequests;  // the request titles
    // Every file request whole: mode, title, type name and extension.
    struct FileRequest {
        FileSelectRequest::Mode mode = FileSelectRequest::Mode::Load;
        std::string title;
        std::string typeName;
        std::string extension;
    };
    std::vector<FileRequest> fileRequestDetails;

private:
    std::deque<bool> answers;
    std::deque<std::string> files;
};

// Installs a back end for the lifetime of a scope (tests), restoring the default after.
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& backEnd) { setDialogs(&backEnd); }
    ~ScopedDialogs() { setDialogs(nullptr); }
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;
};

}  // namespace platform
