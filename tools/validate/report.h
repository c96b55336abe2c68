#pragma once
// What a check found: its verdict, a one-line reason and the individual findings.

#include <cstdarg>
#include <string>
#include <vector>

namespace gwvalidate {

enum class Verdict { Passed, Failed, Skipped };

class Report {
public:
    // A fault of the plug-in: the check fails; the first becomes its reason.
    void fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The check cannot run here (no display, no editor, ...).
    void skip(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // A lapse that hosts tolerate (shown, but the check still passes).
    void warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // What a passing check did or measured (the last one said is shown).
    void note(const char* format, ...) __attribute__((format(printf, 2, 3)));

    Verdict verdict() const;
    bool failed() const { return !failures_.empty(); }
    const std::vector<std::string>& failures() const { return failures_; }
    const std::vector<std::string>& warnings() const { return warnings_; }
    int warningCount() const { return warningCount_; }
    const std::string& skipReason() const { return skipReason_; }
    const std::string& summary() const { return summary_; }
    // The last progress line a check's process sent ("" if none).
    const std::string& lastProgress() const { return progress_; }
    int failureCount() const { return failureCount_; }

    // The findings travel from the process that ran the check as text, one per line.
    std::string serialize() const;
    static Report deserialize(const std::string& text);

    static constexpr int kMaxListed = 12;  // failures listed per check; the rest are counted
    static constexpr int kMaxWarnings = 6;

private:
    std::vector<std::string> failures_;
    int failureCount_ = 0;
    std::vector<std::string> warnings_;
    int warningCount_ = 0;
    std::string skipReason_;
    std::string summary_;
    std::string progress_;
};

std::string formatText(const char* format, va_list args);

}  // namespace gwvalidate
