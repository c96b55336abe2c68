#pragma once
// A Dialogs back end for tests: answers come from queues filled in advance, and every
// question, message and file request is recorded. An empty queue answers No / nothing.
// File selections can also be held open until the test answers them, as the desktop's
// selector stays open beside the host's event loop.

#include <deque>
#include <memory>
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
    // Held: open until answerSelection; else answered at once, as selectFile answers.
    std::unique_ptr<PendingFileSelection> startFileSelection(const FileSelectRequest& request) override;

    // From now on started selections stay open until answered (true) or are answered at
    // once from the queue (false).
    void holdSelections(bool hold) { holding = hold; }
    // Answers the oldest open selection with a path, or with nothing (null: Cancel);
    // false when none is open.
    bool answerSelection(const char* path);
    // Selections open now, and those deleted while open (their dialog closed).
    int openSelections() const;
    int selectionsClosedOpen() const;

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

    struct Held {
        bool answered = false;
        bool chosen = false;
        bool closedOpen = false;
        std::string path;
    };

private:
    void recordRequest(const FileSelectRequest& request);

    std::deque<bool> answers;
    std::deque<std::string> files;
    bool holding = false;
    std::vector<std::shared_ptr<Held>> held;
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
