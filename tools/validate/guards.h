#pragma once
// Buffers with guards, as a careful host lays them out: text buffers of the documented
// size followed by guard bytes, and audio channels whose one end touches an inaccessible
// page while the slack at the other end holds a known pattern.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gwvalidate {

// A text buffer as a host lays it out: room for `limit` characters and the terminator
// (the documented size), then more room up to `hostLimit` characters (what hosts
// commonly give, so that a plug-in writing a little more still works there), then guard
// bytes.
class GuardedText {
public:
    explicit GuardedText(int limit, int hostLimit = 0);
    char* data() { return bytes_.data(); }
    enum class Fit { Inside, BeyondDocumented, BeyondHost };
    // After the plug-in wrote: how far it went, and (unless Inside) what it did.
    Fit fit(std::string& why) const;
    std::string problem() const {
        std::string why;
        return fit(why) == Fit::Inside ? std::string() : why;
    }
    // The text as written (stops at the terminator or the end of the guard area).
    std::string text() const;
    int limit() const { return limit_; }

    static constexpr int kGuardBytes = 256;
    static constexpr unsigned char kPattern = 0xA5;
    static constexpr int kHostLimit = 63;  // 64-byte text buffers

private:
    int limit_, hostLimit_;
    std::vector<char> bytes_;
};

// Audio channels with guard pages. In Back layout each block ends where an
// inaccessible page begins (a read or write past the end faults); in Front layout each
// starts right after one (a read or write before the start faults). The slack on the
// other side holds a pattern: output slack must stay untouched, input slack is NaN so
// that reading it shows in the output.
class GuardedAudio {
public:
    enum class Layout { Back, Front };
    GuardedAudio(int inputs, int outputs, int capacity);
    ~GuardedAudio();
    GuardedAudio(const GuardedAudio&) = delete;
    GuardedAudio& operator=(const GuardedAudio&) = delete;

    // Places blocks of `frames` frames and fills the slack; `context` names the place
    // in the fault message.
    void arrange(int frames, Layout layout, const std::string& context);
    float** inputs() const { return inPtrs_.data(); }
    float** outputs() const { return outPtrs_.data(); }
    int frames() const { return frames_; }
    int numInputs() const { return inputs_; }
    int numOutputs() const { return outputs_; }
    // Output slack or input channel contents written outside the block; "" when clean.
    std::string slackProblem() const;

    // Installs the fault handler that turns a touched guard page into a message on
    // `reportFd` and an exit with status 3.
    static void installFaultHandler(int reportFd);

    static constexpr std::uint32_t kSlackBits = 0x7FA0F00Du;  // a quiet NaN of our own

private:
    struct Channel {
        char* mapping = nullptr;  // guard page, data pages, guard page
        float* data = nullptr;    // start of the data pages
    };
    int inputs_, outputs_, capacity_;
    std::size_t dataBytes_ = 0, pageBytes_ = 0;
    std::vector<Channel> channels_;  // inputs first
    mutable std::vector<float*> inPtrs_, outPtrs_;  // handed to the plug-in as float**
    int frames_ = 0;
    Layout layout_ = Layout::Back;
    float* blockStart(const Channel& c) const;
};

}  // namespace gwvalidate
