#include "tools/validate/report.h"

#include <cstdio>
#include <cstdlib>

namespace gwvalidate {

std::string formatText(const char* format, va_list args) {
    char buffer[1024];
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    std::string s = buffer;
    for (char& c : s)
        if (c == '\n') c = ' ';
    return s;
}

void Report::fail(const char* format, ...) {
    ++failureCount_;
    if (static_cast<int>(failures_.size()) >= kMaxListed) return;
    va_list args;
    va_start(args, format);
    failures_.push_back(formatText(format, args));
    va_end(args);
}

void Report::warn(const char* format, ...) {
    ++warningCount_;
    if (static_cast<int>(warnings_.size()) >= kMaxWarnings) return;
    va_list args;
    va_start(args, format);
    warnings_.push_back(formatText(format, args));
    va_end(args);
}

void Report::skip(const char* format, ...) {
    va_list args;
    va_start(args, format);
    skipReason_ = formatText(format, args);
    va_end(args);
}

void Report::note(const char* format, ...) {
    va_list args;
    va_start(args, format);
    summary_ = formatText(format, args);
    va_end(args);
}

Verdict Report::verdict() const {
    if (!failures_.empty()) return Verdict::Failed;
    if (!skipReason_.empty()) return Verdict::Skipped;
    return Verdict::Passed;
}

// Lines: "N <failure count>", "C <warning count>", "S <skip reason>", "M <summary>",
// "F <failure>"..., "W <warning>"...
std::string Report::serialize() const {
    std::string s = "N " + std::to_string(failureCount_) + "\n";
    s += "C " + std::to_string(warningCount_) + "\n";
    for (const std::string& w : warnings_) s += "W " + w + "\n";
    if (!skipReason_.empty()) s += "S " + skipReason_ + "\n";
    if (!summary_.empty()) s += "M " + summary_ + "\n";
    for (const std::string& f : failures_) s += "F " + f + "\n";
    return s;
}

Report Report::deserialize(const std::string& text) {
    Report r;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.size() < 2 || line[1] != ' ') continue;
        std::string body = line.substr(2);
        switch (line[0]) {
            case 'N': r.failureCount_ = std::atoi(body.c_str()); break;
            case 'S': r.skipReason_ = body; break;
            case 'M': r.summary_ = body; break;
            case 'F': r.failures_.push_back(body); break;
            case 'P': r.progress_ = body; break;
            case 'C': r.warningCount_ = std::atoi(body.c_str()); break;
            case 'W': r.warnings_.push_back(body); break;
            default: break;
        }
    }
    if (r.failureCount_ < static_cast<int>(r.failures_.size()))
        r.failureCount_ = static_cast<int>(r.failures_.size());
    return r;
}

}  // namespace gwvalidate
