// Band-limited resampling by a polyphase windowed-sinc filter.
//
// The filter is a Kaiser-windowed sinc whose transition band runs from 0.9 to 1.0 of the
// lower of the two Nyquist frequencies, 110 dB down from there on (100 dB with margin
// for the single-precision tables and sums). Output frame j sits at input time t_j; its
// value is sum_k x[k] h(t_j - k) over the 2H input frames around t_j.
//
// Two tables of the filter's phases, built here and never on the audio thread:
// - exact: when the rates reduce to out/in = L/M with a table of L phases that fits, one
//   row per phase; every output of a conversion whose positions fall on multiples of 1/L
//   uses its row as is (48000 -> 44100: L = 147; 96000 -> 48000: L = 1).
// - fine: P phases per input frame, P + 1 rows, the output's row interpolated linearly
//   between the two nearest (the interpolation error stays below -120 dB in the band).
//
// A looped conversion spaces its outputs n / outputFrames(n) input frames apart, so
// the output is exactly one period of the periodic input, band-limited: the loop point
// is as smooth as the rest. The time scale differs from out/in by less than half an
// output frame over the whole buffer.

#include "engine/dsp/resampler.h"
#include "engine/dsp/buffer_limits.h"
#include "engine/dsp/vector_code.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>
#include <numeric>
#include <vector>

namespace grainwheel {

namespace {

constexpr double kStopbandDb = 105.0;
constexpr double kPi = 3.14159265358979323846;
constexpr int kLanes = 32;   // taps are padded to a multiple of this
constexpr int kChunk = 256;  // float partial sums go into the double totals this often
constexpr std::int64_t kFinePhases = 512;          // per input frame when upsampling
constexpr std::int64_t kMaxExactCoefficients = 1 << 21;  // 8 MB

bool inRange(double rate) { return rate >= kMinBufferRate && rate <= kMaxBufferRate; }

// Modified Bessel function of the first kind, order 0.
double besselI0(double x) {
    const double q = x * x / 4.0;
    double term = 1.0, sum = 1.0;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= q / (static_cast<double>(k) * static_cast<double>(k));
        sum += term;
    }
    return sum;
}

// The continuous filter, t in input frames: cutoff fc cycles per input frame, Kaiser
// window of half-length half.
struct Prototype {
    double fc;
    double half;
    double beta;
    double i0Beta;
    double operator()(double t) const {
        const double r = t / half;
        if (r <= -1.0 || r >= 1.0) return 0.0;
        const double x = 2.0 * fc * t;
        const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        return 2.0 * fc * sinc * besselI0(beta * std::sqrt(1.0 - r * r)) / i0Beta;
    }
};

// One row: the taps for an output at fraction frac past input frame i, covering input
// frames i - half + 1 .. i + half; scaled so the row sums to 1 (unity gain at 0 Hz for
// every phase).
void fillRow(const Prototype& h, int half, int taps, double frac, float* row) {
    std::vector<double> v(static_cast<std::size_t>(taps), 0.0);
    double sum = 0.0;
    for (int m = 0; m < 2 * half; ++m) {
        v[static_cast<std::size_t>(m)] = h(frac + half - 1 - m);
        sum += v[static_cast<std::size_t>(m)];
    }
    for (int m = 0; m < taps; ++m) row[m] = static_cast<float>(v[static_cast<std::size_t>(m)] / sum);
}

// The float partial sums: kLanes independent ones (several vector registers, so the
// multiply-adds of one output overlap), folded to 8 and added into double totals every
// kChunk taps.
GW_INLINE void flush(float* GW_RESTRICT acc, double* GW_RESTRICT total) {
    for (int l = 0; l < 16; ++l) acc[l] += acc[l + 16];
    for (int l = 0; l < 8; ++l) acc[l] += acc[l + 8];
    for (int l = 0; l < 8; ++l) total[l] += static_cast<double>(acc[l]);
}

GW_INLINE double fold(double* t) {
    for (int l = 0; l < 4; ++l) t[l] += t[l + 4];
    for (int l = 0; l < 2; ++l) t[l] += t[l + 2];
    return t[0] + t[1];
}

GW_INLINE double dot(const float* GW_RESTRICT c, const float* GW_RESTRICT x, int taps) {
    double total[8] = {};
    for (int base = 0; base < taps; base += kChunk) {
        const int end = std::min(taps, base + kChunk);
        float acc[kLanes] = {};
        for (int k = base; k < end; k += kLanes)
            for (int l = 0; l < kLanes; ++l) acc[l] += c[k + l] * x[k + l];
        flush(acc, total);
    }
    return fold(total);
}

// Both rows against the same input frames.
GW_INLINE void dot2(const float* GW_RESTRICT c0, const float* GW_RESTRICT c1, const float* GW_RESTRICT x,
                       int taps, double& r0, double& r1) {
    double t0[8] = {}, t1[8] = {};
    for (int base = 0; base < taps; base += kChunk) {
        const int end = std::min(taps, base + kChunk);
        float a0[kLanes] = {}, a1[kLanes] = {};
        for (int k = base; k < end; k += kLanes)
            for (int l = 0; l < kLanes; ++l) {
                a0[l] += c0[k + l] * x[k + l];
                a1[l] += c1[k + l] * x[k + l];
            }
        flush(a0, t0);
        flush(a1, t1);
    }
    r0 = fold(t0);
    r1 = fold(t1);
}

// Where output positions advance by whole + num/den input frames each step.
struct Walk {
    std::int64_t whole;
    std::int64_t num;
    std::int64_t den;
};

// The input frames first .. first + taps - 1 of the looped input: in place when they lie
// inside it, else gathered (with wrapping, any number of times) into scratch.
GW_INLINE const float* window(const float* in, std::int64_t n, std::int64_t first, int taps, float* scratch) {
    if (first >= 0 && first + taps <= n) return in + first;
    std::int64_t k = first % n;
    if (k < 0) k += n;
    for (int m = 0; m < taps; ++m) {
        scratch[m] = in[k];
        if (++k == n) k = 0;
    }
    return scratch;
}

// Outputs whose fractions are multiples of 1/den, den dividing the table's phase count:
// phase p of den is row p * rowStep.
GW_CLONES void convertExact(const float* in, std::int64_t n, float* out, std::int64_t frames, const float* table,
                               int taps, int half, std::int64_t rowStep, Walk walk, float* scratch) {
    std::int64_t whole = 0, rem = 0;
    for (std::int64_t j = 0; j < frames; ++j) {
        const float* x = window(in, n, whole - half + 1, taps, scratch);
        out[j] = static_cast<float>(dot(table + rem * rowStep * taps, x, taps));
        whole += walk.whole;
        rem += walk.num;
        if (rem >= walk.den) {
            rem -= walk.den;
            ++whole;
        }
    }
}

// Outputs on whole input frames (the rates an integer ratio apart, 96000 -> 48000): the
// row of phase 0 is symmetric about its centre tap, so the frames either side are added
// before the multiply. half[i] is the tap i + 1 frames from the centre.
GW_CLONES void convertSymmetric(const float* in, std::int64_t n, float* out, std::int64_t frames, float centre,
                                   const float* GW_RESTRICT half, int pairs, Walk walk, float* scratch) {
    std::int64_t whole = 0;
    for (std::int64_t j = 0; j < frames; ++j) {
        const float* GW_RESTRICT x = window(in, n, whole - pairs, 2 * pairs + 1, scratch) + pairs;
        double total[8] = {};
        for (int base = 0; base < pairs; base += kChunk) {
            const int end = std::min(pairs, base + kChunk);
            float acc[kLanes] = {};
            for (int i = base; i < end; i += kLanes)
                for (int l = 0; l < kLanes; ++l) acc[l] += half[i + l] * (x[i + l + 1] + x[-(i + l + 1)]);
            flush(acc, total);
        }
        out[j] = static_cast<float>(fold(total) + static_cast<double>(centre) * x[0]);
        whole += walk.whole;
    }
}

// Any fraction: between rows of the fine table (phases rows per input frame).
GW_CLONES void convertFine(const float* in, std::int64_t n, float* out, std::int64_t frames, const float* table,
                              int taps, int half, std::int64_t phases, Walk walk, float* scratch) {
    std::int64_t whole = 0, rem = 0;
    const double scale = static_cast<double>(phases) / static_cast<double>(walk.den);
    for (std::int64_t j = 0; j < frames; ++j) {
        const float* x = window(in, n, whole - half + 1, taps, scratch);
        const double at = static_cast<double>(rem) * scale;
        std::int64_t p = static_cast<std::int64_t>(at);
        if (p >= phases) p = phases - 1;
        const double w = at - static_cast<double>(p);
        double a = 0.0, b = 0.0;
        dot2(table + p * taps, table + (p + 1) * taps, x, taps, a, b);
        out[j] = static_cast<float>(a + (b - a) * w);
        whole += walk.whole;
        rem += walk.num;
        if (rem >= walk.den) {
            rem -= walk.den;
            ++whole;
        }
    }
}

}  // namespace

struct Resampler::Tables {
    bool identity = false;
    int half = 0;  // the filter spans 2 * half input frames
    int taps = 0;  // 2 * half, padded to a multiple of kLanes
    std::int64_t exactPhases = 0;  // 0: no exact table
    std::vector<float> exact;
    std::int64_t finePhases = 0;
    std::vector<float> fine;
    float centre = 0.0f;  // phase 0, folded: the centre tap and the pairs either side
    int pairs = 0;
    std::vector<float> folded;
};

Resampler::Resampler(double inRate, double outRate) : inRate_(inRate), outRate_(outRate) {
    if (!inRange(inRate) || !inRange(outRate)) return;
    try {
        auto t = std::make_unique<Tables>();
        if (inRate == outRate) {
            t->identity = true;
            tables_ = std::move(t);
            return;
        }
        // r: the lower rate as a share of the input rate; the filter's frequencies scale
        // with it, its length in input frames with 1 / r.
        const double r = std::min(1.0, outRate / inRate);
        const double nyquist = 0.5 * r;  // cycles per input frame
        const double transition = 0.1 * nyquist;
        Prototype h{};
        h.fc = 0.95 * nyquist;
        h.beta = 0.1102 * (kStopbandDb - 8.7);
        h.i0Beta = besselI0(h.beta);
        const double order = (kStopbandDb - 7.95) / (2.285 * 2.0 * kPi * transition);
        t->half = static_cast<int>(std::ceil(order / 2.0));
        h.half = t->half;
        t->taps = (2 * t->half + kLanes - 1) / kLanes * kLanes;

        if (inRate == std::floor(inRate) && outRate == std::floor(outRate)) {
            const auto in = static_cast<std::int64_t>(inRate), out = static_cast<std::int64_t>(outRate);
            const std::int64_t phases = out / std::gcd(in, out);
            if (phases * t->taps <= kMaxExactCoefficients) {
                t->exactPhases = phases;
                t->exact.resize(static_cast<std::size_t>(phases * t->taps));
                for (std::int64_t p = 0; p < phases; ++p)
                    fillRow(h, t->half, t->taps, static_cast<double>(p) / static_cast<double>(phases),
                            t->exact.data() + p * t->taps);
            }
        }
        {
            std::vector<double> v(static_cast<std::size_t>(t->half));
            double sum = 0.0;
            for (int k = 0; k < t->half; ++k) {
                v[static_cast<std::size_t>(k)] = h(k);
                sum += (k == 0 ? 1.0 : 2.0) * v[static_cast<std::size_t>(k)];
            }
            t->pairs = (t->half - 1 + kLanes - 1) / kLanes * kLanes;
            t->folded.assign(static_cast<std::size_t>(t->pairs), 0.0f);
            t->centre = static_cast<float>(v[0] / sum);
            for (int k = 1; k < t->half; ++k)
                t->folded[static_cast<std::size_t>(k - 1)] = static_cast<float>(v[static_cast<std::size_t>(k)] / sum);
        }
        // The fine table's spacing follows the filter's bandwidth: the interpolation
        // error grows with (frequency / phases)^2.
        t->finePhases = std::max<std::int64_t>(16, static_cast<std::int64_t>(std::ceil(static_cast<double>(kFinePhases) * r)));
        t->fine.resize(static_cast<std::size_t>((t->finePhases + 1) * t->taps));
        for (std::int64_t p = 0; p <= t->finePhases; ++p)
            fillRow(h, t->half, t->taps, static_cast<double>(p) / static_cast<double>(t->finePhases),
                    t->fine.data() + p * t->taps);
        tables_ = std::move(t);
    } catch (const std::bad_alloc&) {
        tables_.reset();
    }
}

Resampler::~Resampler() = default;

bool Resampler::usable() const { return tables_ != nullptr; }

std::int64_t Resampler::outputFrames(std::int64_t inFrames) const {
    if (inFrames <= 0 || !usable()) return 0;
    const auto n = static_cast<std::int64_t>(std::llround(static_cast<double>(inFrames) * outRate_ / inRate_));
    return n < 1 ? 1 : n;
}

void Resampler::convertLooped(const float* in, std::int64_t inFrames, float* out) const {
    const std::int64_t frames = outputFrames(inFrames);
    if (frames <= 0) return;
    const Tables& t = *tables_;
    if (t.identity) {
        std::copy(in, in + inFrames, out);
        return;
    }
    // Output j sits at j * inFrames / frames input frames.
    const std::int64_t g = std::gcd(inFrames, frames);
    const Walk walk{inFrames / frames, (inFrames % frames) / g, frames / g};
    std::vector<float> scratch(static_cast<std::size_t>(std::max(t.taps, 2 * t.pairs + 1)));
    if (walk.den == 1)
        convertSymmetric(in, inFrames, out, frames, t.centre, t.folded.data(), t.pairs, walk, scratch.data());
    else if (t.exactPhases > 0 && t.exactPhases % walk.den == 0)
        convertExact(in, inFrames, out, frames, t.exact.data(), t.taps, t.half, t.exactPhases / walk.den, walk,
                     scratch.data());
    else
        convertFine(in, inFrames, out, frames, t.fine.data(), t.taps, t.half, t.finePhases, walk, scratch.data());
}

}  // namespace grainwheel
