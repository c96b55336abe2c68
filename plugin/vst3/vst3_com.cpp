// Texts and streams of the VST 3 layer (vst3_com.h).

#include "plugin/vst3/vst3_com.h"

#include <algorithm>

namespace grainwheel::vst3 {

void toUtf16(const char* text, Steinberg_char16* out, int size) {
    if (out == nullptr || size <= 0) return;
    int n = 0;
    if (text != nullptr) {
        const auto* p = reinterpret_cast<const unsigned char*>(text);
        while (*p != 0 && n < size - 1) {
            std::uint32_t c = *p++;
            // UTF-8 sequences of two and three bytes; anything else becomes '?'.
            if (c >= 0x80) {
                if ((c & 0xE0) == 0xC0 && (p[0] & 0xC0) == 0x80) {
                    c = ((c & 0x1F) << 6) | (p[0] & 0x3F);
                    p += 1;
                } else if ((c & 0xF0) == 0xE0 && (p[0] & 0xC0) == 0x80 && (p[1] & 0xC0) == 0x80) {
                    c = ((c & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F);
                    p += 2;
                } else {
                    c = '?';
                }
            }
            out[n++] = static_cast<Steinberg_char16>(c);
        }
    }
    out[n] = 0;
}

void fromUtf16(const Steinberg_char16* text, char* out, int size) {
    if (out == nullptr || size <= 0) return;
    int n = 0;
    if (text != nullptr)
        for (; text[n] != 0 && n < size - 1; ++n) out[n] = text[n] < 0x80 ? static_cast<char>(text[n]) : '?';
    out[n] = 0;
}

StreamSource::StreamSource(Steinberg_IBStream* stream) : stream_(stream) {
    if (stream_ == nullptr) return;
    Steinberg_int64 at = 0, end = 0;
    if (stream_->lpVtbl->tell(stream_, &at) != Steinberg_kResultOk || at < 0) at = 0;
    start_ = static_cast<std::uint64_t>(at);
    if (stream_->lpVtbl->seek(stream_, 0, Steinberg_IBStream_IStreamSeekMode_kIBSeekEnd, &end) == Steinberg_kResultOk &&
        end >= at) {
        size_ = static_cast<std::uint64_t>(end - at);
        Steinberg_int64 back = 0;
        stream_->lpVtbl->seek(stream_, at, Steinberg_IBStream_IStreamSeekMode_kIBSeekSet, &back);
    } else {
        size_ = UINT64_MAX / 2;  // unknown: reads tell
    }
}

std::size_t StreamSource::read(void* dst, std::size_t n) {
    if (stream_ == nullptr) return 0;
    std::size_t done = 0;
    auto* to = static_cast<char*>(dst);
    while (done < n) {
        const auto ask = static_cast<Steinberg_int32>(std::min<std::size_t>(n - done, 1u << 30));
        Steinberg_int32 got = 0;
        if (stream_->lpVtbl->read(stream_, to + done, ask, &got) != Steinberg_kResultOk || got <= 0) break;
        done += static_cast<std::size_t>(std::min(got, ask));
    }
    pos_ += done;
    if (done < n) size_ = pos_;  // the end came early
    return done;
}

bool StreamSource::skip(std::uint64_t n) {
    if (n > remaining()) {
        seek(size_);
        return false;
    }
    return seek(pos_ + n);
}

bool StreamSource::seek(std::uint64_t offset) {
    if (stream_ == nullptr || offset > size_) return false;
    Steinberg_int64 result = 0;
    if (stream_->lpVtbl->seek(stream_, static_cast<Steinberg_int64>(start_ + offset),
                              Steinberg_IBStream_IStreamSeekMode_kIBSeekSet, &result) != Steinberg_kResultOk)
        return false;
    pos_ = offset;
    return true;
}

bool StreamSink::write(const void* data, std::size_t size) {
    if (failed_ || stream_ == nullptr) return false;
    std::size_t done = 0;
    auto* from = static_cast<char*>(const_cast<void*>(data));
    while (done < size) {
        const auto ask = static_cast<Steinberg_int32>(std::min<std::size_t>(size - done, 1u << 30));
        Steinberg_int32 put = 0;
        if (stream_->lpVtbl->write(stream_, from + done, ask, &put) != Steinberg_kResultOk || put <= 0) {
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(std::min(put, ask));
    }
    written_ += done;
    return true;
}

}  // namespace grainwheel::vst3
