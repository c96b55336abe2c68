#include "gui/pngdecode.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace VSTGUI {

namespace {

class BitReader {
public:
    BitReader(const unsigned char* d, std::size_t n) : data(d), size(n) {}
    // False once the input has run out.
    bool bits(int count, unsigned& value) {
        while (have < count) {
            if (pos >= size) return false;
            acc |= static_cast<std::uint32_t>(data[pos++]) << have;
            have += 8;
        }
        value = acc & ((1u << count) - 1u);
        acc >>= count;
        have -= count;
        return true;
    }
    void alignToByte() {
        acc >>= (have % 8);
        have -= have % 8;
    }
    bool byte(unsigned& v) { return bits(8, v); }

private:
    const unsigned char* data;
    std::size_t size;
    std::size_t pos = 0;
    std::uint32_t acc = 0;
    int have = 0;
};

// A canonical Huffman code: counts per length and symbols in code order.
struct Huffman {
    std::array<unsigned short, 16> count{};
    std::array<unsigned short, 320> symbol{};

    bool build(const unsigned char* lengths, int n) {
        count.fill(0);
        for (int i = 0; i < n; ++i) ++count[lengths[i]];
        count[0] = 0;
        int left = 1;
        for (int len = 1; len < 16; ++len) {
            left <<= 1;
            left -= count[len];
            if (left < 0) return false;  // over-subscribed
        }
        std::array<unsigned short, 16> offs{};
        for (int len = 1; len < 15; ++len) offs[len + 1] = static_cast<unsigned short>(offs[len] + count[len]);
        for (int i = 0; i < n; ++i) {
            if (lengths[i]) symbol[offs[lengths[i]]++] = static_cast<unsigned short>(i);
        }
        return true;
    }

    // The next symbol, or -1 on bad input.
    int decode(BitReader& in) const {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len < 16; ++len) {
            unsigned b;
            if (!in.bits(1, b)) return -1;
            code |= static_cast<int>(b);
            int c = count[len];
            if (code - c < first) return symbol[static_cast<std::size_t>(index + (code - first))];
            index += c;
            first += c;
            first <<= 1;
            code <<= 1;
        }
        return -1;
    }
};

constexpr unsigned short kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                            31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr unsigned short kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                          193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr unsigned char kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                          6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool inflateBlock(BitReader& in, const Huffman& lit, const Huffman& dist, std::vector<unsigned char>& out,
                  std::size_t maxOut) {
    for (;;) {
        int sym = lit.decode(in);
        if (sym < 0) return false;
        if (sym < 256) {
            if (out.size() >= maxOut) return false;
            out.push_back(static_cast<unsigned char>(sym));
            continue;
        }
        if (sym == 256) return true;
        sym -= 257;
        if (sym >= 29) return false;
        unsigned extra;
        if (!in.bits(kLengthExtra[sym], extra)) return false;
        std::size_t len = kLengthBase[sym] + extra;
        int d = dist.decode(in);
        if (d < 0 || d >= 30) return false;
        if (!in.bits(kDistExtra[d], extra)) return false;
        std::size_t back = kDistBase[d] + extra;
        if (back > out.size() || out.size() + len > maxOut) return false;
        std::size_t from = out.size() - back;
        for (std::size_t i = 0; i < len; ++i) out.push_back(out[from + i]);
    }
}

bool dynamicTables(BitReader& in, Huffman& lit, Huffman& dist) {
    unsigned hlit, hdist, hclen;
    if (!in.bits(5, hlit) || !in.bits(5, hdist) || !in.bits(4, hclen)) return false;
    hlit += 257;
    hdist += 1;
    hclen += 4;
    if (hlit > 286 || hdist > 30) return false;
    static constexpr unsigned char order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    unsigned char lengths[320] = {};
    for (unsigned i = 0; i < hclen; ++i) {
        unsigned v;
        if (!in.bits(3, v)) return false;
        lengths[order[i]] = static_cast<unsigned char>(v);
    }
    Huffman lens;
    if (!lens.build(lengths, 19)) return false;
    unsigned n = 0;
    std::memset(lengths, 0, sizeof lengths);
    while (n < hlit + hdist) {
        int sym = lens.decode(in);
        if (sym < 0) return false;
        if (sym < 16) {
            lengths[n++] = static_cast<unsigned char>(sym);
            continue;
        }
        unsigned repeat, v;
        unsigned char value = 0;
        if (sym == 16) {
            if (n == 0 || !in.bits(2, v)) return false;
            value = lengths[n - 1];
            repeat = 3 + v;
        } else if (sym == 17) {
            if (!in.bits(3, v)) return false;
            repeat = 3 + v;
        } else {
            if (!in.bits(7, v)) return false;
            repeat = 11 + v;
        }
        if (n + repeat > hlit + hdist) return false;
        while (repeat--) lengths[n++] = value;
    }
    if (lengths[256] == 0) return false;  // no end-of-block code
    return lit.build(lengths, static_cast<int>(hlit)) && dist.build(lengths + hlit, static_cast<int>(hdist));
}

std::uint32_t readBig32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

int paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = p > a ? p - a : a - p;
    int pb = p > b ? p - b : b - p;
    int pc = p > c ? p - c : c - p;
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

}  // namespace

bool inflateZlib(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out, std::size_t maxOut) {
    if (!data || size < 2) return false;
    unsigned cmf = data[0], flg = data[1];
    if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20)) return false;
    BitReader in(data + 2, size - 2);
    unsigned last = 0;
    while (!last) {
        unsigned type;
        if (!in.bits(1, last) || !in.bits(2, type)) return false;
        if (type == 0) {
            in.alignToByte();
            unsigned b0, b1, b2, b3;
            if (!in.byte(b0) || !in.byte(b1) || !in.byte(b2) || !in.byte(b3)) return false;
            unsigned len = b0 | (b1 << 8), nlen = b2 | (b3 << 8);
            if ((len ^ 0xFFFFu) != nlen || out.size() + len > maxOut) return false;
            for (unsigned i = 0; i < len; ++i) {
                unsigned v;
                if (!in.byte(v)) return false;
                out.push_back(static_cast<unsigned char>(v));
            }
        } else if (type == 1) {
            static const auto fixed = [] {
                std::array<Huffman, 2> h;
                unsigned char l[288];
                for (int i = 0; i < 144; ++i) l[i] = 8;
                for (int i = 144; i < 256; ++i) l[i] = 9;
                for (int i = 256; i < 280; ++i) l[i] = 7;
                for (int i = 280; i < 288; ++i) l[i] = 8;
                h[0].build(l, 288);
                for (int i = 0; i < 30; ++i) l[i] = 5;
                h[1].build(l, 30);
                return h;
            }();
            if (!inflateBlock(in, fixed[0], fixed[1], out, maxOut)) return false;
        } else if (type == 2) {
            Huffman lit, dist;
            if (!dynamicTables(in, lit, dist) || !inflateBlock(in, lit, dist, out, maxOut)) return false;
        } else {
            return false;
        }
    }
    return true;
}

DecodedPng decodePngImage(const unsigned char* data, std::size_t size) {
    static constexpr unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    DecodedPng img;
    if (!data || size < 8 || std::memcmp(data, signature, 8) != 0) return img;
    std::uint32_t w = 0, h = 0;
    int colorType = -1;
    std::vector<unsigned char> idat;
    std::array<std::uint32_t, 256> palette{};
    std::size_t paletteSize = 0;
    bool seenHeader = false, seenEnd = false;
    std::size_t pos = 8;
    while (pos + 12 <= size && !seenEnd) {
        std::uint32_t len = readBig32(data + pos);
        const unsigned char* type = data + pos + 4;
        if (len > size - pos - 12) return img;
        const unsigned char* body = data + pos + 8;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (len != 13 || seenHeader) return img;
            w = readBig32(body);
            h = readBig32(body + 4);
            int depth = body[8];
            colorType = body[9];
            if (depth != 8 || body[10] != 0 || body[11] != 0 || body[12] != 0) return img;  // 8 bits, no interlace
            if (colorType != 0 && colorType != 2 && colorType != 3 && colorType != 4 && colorType != 6) return img;
            if (w == 0 || h == 0 || w > 16384 || h > 16384) return img;
            seenHeader = true;
        } else if (!seenHeader) {
            return img;
        } else if (std::memcmp(type, "PLTE", 4) == 0) {
            if (len % 3 != 0 || len / 3 > 256) return img;
            paletteSize = len / 3;
            for (std::size_t i = 0; i < paletteSize; ++i) {
                palette[i] = 0xFF000000u | (std::uint32_t{body[3 * i]} << 16) | (std::uint32_t{body[3 * i + 1]} << 8) |
                             body[3 * i + 2];
            }
        } else if (std::memcmp(type, "tRNS", 4) == 0 && colorType == 3) {
            for (std::size_t i = 0; i < len && i < paletteSize; ++i) {
                palette[i] = (palette[i] & 0xFFFFFFu) | (std::uint32_t{body[i]} << 24);
            }
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            idat.insert(idat.end(), body, body + len);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            seenEnd = true;
        }
        pos += 12 + len;
    }
    if (!seenHeader || idat.empty() || (colorType == 3 && paletteSize == 0)) return img;

    static constexpr int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    std::size_t bpp = static_cast<std::size_t>(channels[colorType]);
    std::size_t rowBytes = w * bpp;
    std::size_t expected = (rowBytes + 1) * h;
    std::vector<unsigned char> raw;
    raw.reserve(expected);
    if (!inflateZlib(idat.data(), idat.size(), raw, expected) || raw.size() != expected) return img;

    std::vector<unsigned char> prev(rowBytes, 0), cur(rowBytes);
    img.argb.resize(static_cast<std::size_t>(w) * h);
    for (std::uint32_t y = 0; y < h; ++y) {
        const unsigned char* line = raw.data() + y * (rowBytes + 1);
        unsigned filter = line[0];
        if (filter > 4) return DecodedPng{};
        for (std::size_t i = 0; i < rowBytes; ++i) {
            int x = line[1 + i];
            int a = i >= bpp ? cur[i - bpp] : 0;
            int b = prev[i];
            int c = i >= bpp ? prev[i - bpp] : 0;
            switch (filter) {
                case 1: x += a; break;
                case 2: x += b; break;
                case 3: x += (a + b) / 2; break;
                case 4: x += paeth(a, b, c); break;
                default: break;
            }
            cur[i] = static_cast<unsigned char>(x);
        }
        std::uint32_t* outRow = img.argb.data() + static_cast<std::size_t>(y) * w;
        for (std::uint32_t x = 0; x < w; ++x) {
            const unsigned char* p = cur.data() + x * bpp;
            std::uint32_t v;
            switch (colorType) {
                case 0: v = 0xFF000000u | (std::uint32_t{p[0]} * 0x010101u); break;
                case 2: v = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]; break;
                case 3:
                    if (p[0] >= paletteSize) return DecodedPng{};
                    v = palette[p[0]];
                    break;
                case 4: v = (std::uint32_t{p[1]} << 24) | (std::uint32_t{p[0]} * 0x010101u); break;
                default:
                    v = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
                    break;
            }
            outRow[x] = v;
        }
        prev.swap(cur);
    }
    img.width = static_cast<long>(w);
    img.height = static_cast<long>(h);
    return img;
}

namespace {

std::uint32_t crc32Of(const unsigned char* p, std::size_t n, std::uint32_t crc = 0) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putBig32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

void chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& body) {
    putBig32(out, static_cast<std::uint32_t>(body.size()));
    std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    putBig32(out, crc32Of(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<unsigned char> encodePngImage(const std::uint32_t* pixels, long width, long height, long strideWords) {
    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!pixels || width <= 0 || height <= 0) return {};
    std::vector<unsigned char> header;
    putBig32(header, static_cast<std::uint32_t>(width));
    putBig32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", header);
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<std::size_t>((width * 3 + 1) * height));
    for (long y = 0; y < height; ++y) {
        raw.push_back(0);
        for (long x = 0; x < width; ++x) {
            std::uint32_t p = pixels[y * strideWords + x];
            raw.insert(raw.end(), {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                   static_cast<unsigned char>(p)});
        }
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t pos = 0; pos < raw.size() || pos == 0;) {
        std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        bool last = pos + n >= raw.size();
        z.push_back(last ? 1 : 0);
        z.insert(z.end(), {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                           static_cast<unsigned char>(~n), static_cast<unsigned char>(~n >> 8)});
        z.insert(z.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + n));
        pos += n;
        if (last) break;
    }
    putBig32(z, (b << 16) | a);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

}  // namespace VSTGUI
