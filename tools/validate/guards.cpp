#include "tools/validate/guards.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace gwvalidate {

GuardedText::GuardedText(int limit, int hostLimit)
    : limit_(limit), hostLimit_(hostLimit > limit ? hostLimit : limit),
      bytes_(static_cast<std::size_t>(hostLimit_ + 1 + kGuardBytes)) {
    std::memset(bytes_.data(), kPattern, bytes_.size());
    bytes_[0] = 0;
}

std::string GuardedText::text() const {
    std::string s;
    for (char c : bytes_) {
        if (c == 0) break;
        s += c;
    }
    return s;
}

GuardedText::Fit GuardedText::fit(std::string& why) const {
    auto touchedBeyond = [&](std::size_t fits) {
        std::size_t touched = bytes_.size();
        while (touched > fits && static_cast<unsigned char>(bytes_[touched - 1]) == kPattern) --touched;
        return touched > fits ? touched - fits : 0;
    };
    std::size_t end = 0;
    while (end < bytes_.size() && bytes_[end] != 0) ++end;
    char text[200];
    if (end == bytes_.size()) {
        std::snprintf(text, sizeof(text), "no terminator within %zu bytes", bytes_.size());
        why = text;
        return Fit::BeyondHost;
    }
    const std::size_t documented = static_cast<std::size_t>(limit_) + 1, host = static_cast<std::size_t>(hostLimit_) + 1;
    const std::size_t pastDocumented = touchedBeyond(documented), pastHost = touchedBeyond(host);
    if (end < documented && pastDocumented == 0) return Fit::Inside;
    const bool beyondHost = end >= host || pastHost > 0;
    const int shown = beyondHost ? hostLimit_ : limit_;
    if (end >= documented)
        std::snprintf(text, sizeof(text), "%zu characters \"%s\" where %d fit%s", end, this->text().c_str(), shown,
                      beyondHost ? " in the buffers hosts commonly give" : "");
    else
        std::snprintf(text, sizeof(text), "wrote %zu bytes past the %d characters and terminator that fit%s",
                      beyondHost ? pastHost : pastDocumented, shown, beyondHost ? " in the buffers hosts commonly give" : "");
    why = text;
    return beyondHost ? Fit::BeyondHost : Fit::BeyondDocumented;
}

namespace {

struct GuardRange {
    const char* begin;
    const char* end;
    int channel;
    bool input;
    bool after;  // the page after the data (else before)
};
constexpr int kMaxRanges = 128;
GuardRange ranges[kMaxRanges];
volatile sig_atomic_t rangeCount = 0;
int faultFd = -1;
char faultContext[256];

void addRange(const GuardRange& r) {
    if (rangeCount < kMaxRanges) {
        ranges[rangeCount] = r;
        rangeCount = rangeCount + 1;
    }
}
void removeRanges(const char* begin, const char* end) {
    int kept = 0;
    for (int i = 0; i < rangeCount; ++i)
        if (!(ranges[i].begin >= begin && ranges[i].end <= end)) ranges[kept++] = ranges[i];
    rangeCount = kept;
}

void writeAll(int fd, const char* s) {
    std::size_t n = std::strlen(s);
    while (n > 0) {
        ssize_t w = ::write(fd, s, n);
        if (w <= 0) return;
        s += w;
        n -= static_cast<std::size_t>(w);
    }
}

void onFault(int signal, siginfo_t* info, void*) {
    const char* at = static_cast<const char*>(info->si_addr);
    for (int i = 0; i < rangeCount; ++i) {
        if (at < ranges[i].begin || at >= ranges[i].end) continue;
        char line[512];
        std::snprintf(line, sizeof(line), "F %s %s channel %d (%s)\n",
                      ranges[i].after ? "read or wrote past the end of" : "read or wrote before the start of",
                      ranges[i].input ? "input" : "output", ranges[i].channel, faultContext);
        if (faultFd >= 0) writeAll(faultFd, line);
        _exit(3);
    }
    // Not ours: die of it as the plug-in would have.
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void GuardedAudio::installFaultHandler(int reportFd) {
    faultFd = reportFd;
    struct sigaction action {};
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
}

GuardedAudio::GuardedAudio(int inputs, int outputs, int capacity)
    : inputs_(inputs), outputs_(outputs), capacity_(capacity) {
    pageBytes_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t bytes = static_cast<std::size_t>(capacity) * sizeof(float);
    dataBytes_ = (bytes + pageBytes_ - 1) / pageBytes_ * pageBytes_;
    for (int c = 0; c < inputs + outputs; ++c) {
        Channel ch;
        void* m = mmap(nullptr, dataBytes_ + 2 * pageBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) {
            channels_.push_back(ch);
            continue;
        }
        ch.mapping = static_cast<char*>(m);
        ch.data = reinterpret_cast<float*>(ch.mapping + pageBytes_);
        mprotect(ch.mapping, pageBytes_, PROT_NONE);
        mprotect(ch.mapping + pageBytes_ + dataBytes_, pageBytes_, PROT_NONE);
        bool input = c < inputs;
        int index = input ? c : c - inputs;
        addRange({ch.mapping, ch.mapping + pageBytes_, index, input, false});
        addRange({ch.mapping + pageBytes_ + dataBytes_, ch.mapping + dataBytes_ + 2 * pageBytes_, index, input, true});
        channels_.push_back(ch);
    }
    inPtrs_.assign(static_cast<std::size_t>(inputs) + 1, nullptr);
    outPtrs_.assign(static_cast<std::size_t>(outputs) + 1, nullptr);
}

GuardedAudio::~GuardedAudio() {
    for (Channel& ch : channels_) {
        if (!ch.mapping) continue;
        removeRanges(ch.mapping, ch.mapping + dataBytes_ + 2 * pageBytes_);
        munmap(ch.mapping, dataBytes_ + 2 * pageBytes_);
    }
}

float* GuardedAudio::blockStart(const Channel& c) const {
    if (layout_ == Layout::Front) return c.data;
    return c.data + dataBytes_ / sizeof(float) - static_cast<std::size_t>(frames_);
}

void GuardedAudio::arrange(int frames, Layout layout, const std::string& context) {
    frames_ = frames > capacity_ ? capacity_ : frames;
    layout_ = layout;
    std::snprintf(faultContext, sizeof(faultContext), "%s", context.c_str());
    const std::size_t total = dataBytes_ / sizeof(float);
    for (std::size_t c = 0; c < channels_.size(); ++c) {
        Channel& ch = channels_[c];
        if (!ch.data) continue;
        for (std::size_t i = 0; i < total; ++i) std::memcpy(ch.data + i, &kSlackBits, sizeof(float));
        float* start = blockStart(ch);
        std::memset(start, 0, static_cast<std::size_t>(frames_) * sizeof(float));
        if (static_cast<int>(c) < inputs_)
            inPtrs_[c] = start;
        else
            outPtrs_[c - static_cast<std::size_t>(inputs_)] = start;
    }
}

std::string GuardedAudio::slackProblem() const {
    const std::size_t total = dataBytes_ / sizeof(float);
    for (std::size_t c = 0; c < channels_.size(); ++c) {
        const Channel& ch = channels_[c];
        if (!ch.data) continue;
        const float* start = blockStart(ch);
        for (std::size_t i = 0; i < total; ++i) {
            const float* p = ch.data + i;
            if (p >= start && p < start + frames_) continue;
            std::uint32_t bits;
            std::memcpy(&bits, p, sizeof(bits));
            if (bits == kSlackBits) continue;
            bool input = static_cast<int>(c) < inputs_;
            long offset = p < start ? -(start - p) : (p - start);
            char why[200];
            std::snprintf(why, sizeof(why), "wrote into %s channel %d at frame %ld of a %d-frame block",
                          input ? "input" : "output", input ? static_cast<int>(c) : static_cast<int>(c) - inputs_,
                          offset, frames_);
            return why;
        }
    }
    return "";
}

}  // namespace gwvalidate
