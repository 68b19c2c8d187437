// Draws the program icon and writes it as a Windows icon file: 32-bit images (with alpha) of 16,
// 20, 24, 32, 40, 48 and 64 pixels, and a 256-pixel one stored as PNG, as Windows Vista and later
// take it. Run by the build on the build machine.
//
// The same source gives the same bytes on any machine: integer arithmetic only, and the PNG's
// compressed stream comes from this file's own encoder, not from whatever zlib is installed.
//
// Usage: make_icon OUTPUT.ico
#include <stdint.h>
#include <stdio.h>

#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

// ---- The design ------------------------------------------------------------------------------
// Drawn on a 32 x 32 unit square: a blue disc in a dark ring, a white "H", three yellow level
// bars of a sound meter and a white base line. Rectangles are snapped to whole pixels at each size
// so that strokes stay sharp; the disc's edge is smoothed by 8 x 8 samples per pixel.

const int SAMPLES = 8;

struct Colour {
    int r, g, b;
};

struct Rect {
    int left, top, right, bottom;  // units, right and bottom exclusive
    Colour colour;
};

const Colour WHITE = {255, 255, 255};
const Colour YELLOW = {255, 204, 0};
const Colour RING = {18, 42, 120};

const Rect MARKS[] = {
    {7, 6, 10, 23, WHITE},    // the H: left stroke,
    {15, 6, 18, 23, WHITE},   // right stroke,
    {7, 13, 18, 16, WHITE},   // crossbar
    {20, 16, 22, 23, YELLOW}, // the level bars, low to high
    {23, 12, 25, 23, YELLOW},
    {26, 8, 28, 23, YELLOW},
    {7, 25, 27, 27, WHITE},   // base line
};

// A unit coordinate at this size, rounded to the nearest pixel edge (halves up).
int snap(int units, int size) { return (units * size * 2 + 32) / 64; }

// The colour and opacity of one sample; (sx, sy) count samples from the top left corner.
bool sample(int size, int sx, int sy, Colour* colour) {
    // Positions in half samples, so that sample centres are whole numbers: the 32 units of the
    // design are `scale` half samples wide.
    const int64_t scale = 2 * int64_t(size) * SAMPLES;
    const int64_t x = 2 * int64_t(sx) + 1, y = 2 * int64_t(sy) + 1;
    const int64_t centre = scale / 2;
    const int64_t dx = x - centre, dy = y - centre;
    const int64_t distance2 = dx * dx + dy * dy;
    // Outer radius 15.75 units (63/128 of the width), the ring 2 units wide (inner 13.75).
    const int64_t outer = scale * 63 / 128, inner = scale * 55 / 128;
    if (distance2 > outer * outer) return false;
    if (distance2 > inner * inner) {
        *colour = RING;
        return true;
    }
    const int px = sx / SAMPLES, py = sy / SAMPLES;
    for (const Rect& mark : MARKS) {
        if (px >= snap(mark.left, size) && px < snap(mark.right, size) && py >= snap(mark.top, size) &&
            py < snap(mark.bottom, size)) {
            *colour = mark.colour;
            return true;
        }
    }
    // The disc: lighter at the top, deeper at the bottom.
    const int shade = int(int64_t(sy) * 255 / (int64_t(size) * SAMPLES - 1));
    colour->r = 72 - shade * 52 / 255;
    colour->g = 144 - shade * 64 / 255;
    colour->b = 236 - shade * 46 / 255;
    return true;
}

// Straight (not premultiplied) RGBA rows, top row first.
Bytes render(int size) {
    Bytes rgba(size_t(size) * size * 4);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            int covered = 0, r = 0, g = 0, b = 0;
            for (int j = 0; j < SAMPLES; ++j) {
                for (int i = 0; i < SAMPLES; ++i) {
                    Colour c;
                    if (!sample(size, px * SAMPLES + i, py * SAMPLES + j, &c)) continue;
                    ++covered;
                    r += c.r;
                    g += c.g;
                    b += c.b;
                }
            }
            uint8_t* out = &rgba[(size_t(py) * size + px) * 4];
            if (covered) {
                out[0] = uint8_t((r + covered / 2) / covered);
                out[1] = uint8_t((g + covered / 2) / covered);
                out[2] = uint8_t((b + covered / 2) / covered);
            }
            out[3] = uint8_t((covered * 255 + SAMPLES * SAMPLES / 2) / (SAMPLES * SAMPLES));
        }
    }
    return rgba;
}

// ---- Little helpers --------------------------------------------------------------------------
void put16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(Bytes& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put32be(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// ---- A 32-bit icon image: BITMAPINFOHEADER, BGRA rows bottom-up, then the AND mask -----------
Bytes bitmapImage(int size) {
    const Bytes rgba = render(size);
    Bytes out;
    put32(out, 40);
    put32(out, uint32_t(size));
    put32(out, uint32_t(size * 2));  // the colour rows and the mask rows
    put16(out, 1);
    put16(out, 32);
    for (int i = 0; i < 6; ++i) put32(out, 0);  // BI_RGB, no size, resolution or palette
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const uint8_t* p = &rgba[(size_t(y) * size + x) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            out.push_back(p[3]);
        }
    }
    // The mask marks what is fully transparent, for systems that draw without alpha.
    const int rowBytes = (size + 31) / 32 * 4;
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(size_t(rowBytes), 0);
        for (int x = 0; x < size; ++x)
            if (rgba[(size_t(y) * size + x) * 4 + 3] == 0) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// ---- PNG with a deflate stream of our own (fixed Huffman codes, LZ77 over a 32 KiB window) ---
class BitWriter {
public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void bits(uint32_t value, int count) {  // least significant bit first
        for (int i = 0; i < count; ++i) {
            if (value >> i & 1) current_ |= uint8_t(1 << filled_);
            if (++filled_ == 8) flush();
        }
    }
    void huffman(uint32_t code, int length) {  // Huffman codes go most significant bit first
        for (int i = length - 1; i >= 0; --i) bits(code >> i & 1, 1);
    }
    void flush() {
        if (!filled_) return;
        out_.push_back(current_);
        current_ = 0;
        filled_ = 0;
    }

private:
    Bytes& out_;
    uint8_t current_ = 0;
    int filled_ = 0;
};

void literal(BitWriter& w, int symbol) {
    if (symbol < 144) w.huffman(0x30 + symbol, 8);
    else if (symbol < 256) w.huffman(0x190 + symbol - 144, 9);
    else if (symbol < 280) w.huffman(symbol - 256, 7);
    else w.huffman(0xC0 + symbol - 280, 8);
}

void match(BitWriter& w, int length, int distance) {
    static const int lengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int lengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const int distanceBase[] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                       33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const int distanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    int l = 28;
    while (lengthBase[l] > length) --l;
    literal(w, 257 + l);
    w.bits(uint32_t(length - lengthBase[l]), lengthExtra[l]);
    int d = 29;
    while (distanceBase[d] > distance) --d;
    w.huffman(uint32_t(d), 5);
    w.bits(uint32_t(distance - distanceBase[d]), distanceExtra[d]);
}

Bytes deflate(const Bytes& data) {
    Bytes out;
    BitWriter w(out);
    w.bits(1, 1);  // the only block: final,
    w.bits(1, 2);  // fixed Huffman codes
    const int WINDOW = 32768, HASH = 1 << 15, CHAIN = 128;
    std::vector<int> head(HASH, -1), previous(data.size(), -1);
    auto hash = [&](size_t i) { return (data[i] << 10 ^ data[i + 1] << 5 ^ data[i + 2]) & (HASH - 1); };
    auto insert = [&](size_t i) {
        if (i + 2 >= data.size()) return;
        const int h = hash(i);
        previous[i] = head[h];
        head[h] = int(i);
    };
    size_t i = 0;
    while (i < data.size()) {
        int bestLength = 0, bestDistance = 0;
        if (i + 2 < data.size()) {
            int candidate = head[hash(i)];
            for (int steps = 0; candidate >= 0 && steps < CHAIN; ++steps, candidate = previous[size_t(candidate)]) {
                const int distance = int(i) - candidate;
                if (distance > WINDOW) break;
                int length = 0;
                while (length < 258 && i + size_t(length) < data.size() &&
                       data[size_t(candidate + length)] == data[i + size_t(length)])
                    ++length;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                }
            }
        }
        if (bestLength >= 3) {
            match(w, bestLength, bestDistance);
            for (int k = 0; k < bestLength; ++k) insert(i + size_t(k));
            i += size_t(bestLength);
        } else {
            literal(w, data[i]);
            insert(i);
            ++i;
        }
    }
    literal(w, 256);  // end of block
    w.flush();
    return out;
}

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

uint32_t adler32(const Bytes& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

void chunk(Bytes& png, const char* type, const Bytes& data) {
    put32be(png, uint32_t(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    put32be(png, crc32(typed.data(), typed.size()));
}

// Each row takes the filter that leaves the smallest sum of bytes (as signed), the usual choice.
Bytes filteredRows(const Bytes& rgba, int size) {
    const size_t stride = size_t(size) * 4;
    Bytes out;
    for (int y = 0; y < size; ++y) {
        const uint8_t* row = &rgba[size_t(y) * stride];
        const uint8_t* above = y ? row - stride : NULL;
        Bytes best;
        long bestCost = -1;
        for (int filter = 0; filter <= 2; ++filter) {  // none, sub, up
            Bytes candidate(1, uint8_t(filter));
            long cost = 0;
            for (size_t x = 0; x < stride; ++x) {
                const uint8_t left = x >= 4 ? row[x - 4] : 0, up = above ? above[x] : 0;
                const uint8_t value = uint8_t(row[x] - (filter == 1 ? left : filter == 2 ? up : 0));
                candidate.push_back(value);
                cost += value < 128 ? value : 256 - value;
            }
            if (bestCost < 0 || cost < bestCost) {
                bestCost = cost;
                best.swap(candidate);
            }
        }
        out.insert(out.end(), best.begin(), best.end());
    }
    return out;
}

Bytes pngImage(int size) {
    static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes png(signature, signature + 8);
    Bytes header;
    put32be(header, uint32_t(size));
    put32be(header, uint32_t(size));
    header.push_back(8);  // bits per channel
    header.push_back(6);  // RGBA
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);
    chunk(png, "IHDR", header);
    const Bytes raw = filteredRows(render(size), size);
    Bytes zlib = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary
    const Bytes compressed = deflate(raw);
    zlib.insert(zlib.end(), compressed.begin(), compressed.end());
    put32be(zlib, adler32(raw));
    chunk(png, "IDAT", zlib);
    chunk(png, "IEND", Bytes());
    return png;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    const int sizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
    const int count = int(sizeof(sizes) / sizeof(sizes[0]));
    std::vector<Bytes> images;
    for (int size : sizes) images.push_back(size == 256 ? pngImage(size) : bitmapImage(size));

    Bytes file;
    put16(file, 0);
    put16(file, 1);  // icon
    put16(file, uint32_t(count));
    uint32_t offset = 6 + 16 * uint32_t(count);
    for (int i = 0; i < count; ++i) {
        file.push_back(uint8_t(sizes[i] & 0xFF));  // 256 is written as 0
        file.push_back(uint8_t(sizes[i] & 0xFF));
        file.push_back(0);  // no palette
        file.push_back(0);
        put16(file, 1);   // planes
        put16(file, 32);  // bits per pixel
        put32(file, uint32_t(images[size_t(i)].size()));
        put32(file, offset);
        offset += uint32_t(images[size_t(i)].size());
    }
    for (const Bytes& image : images) file.insert(file.end(), image.begin(), image.end());

    FILE* out = fopen(argv[1], "wb");
    if (!out || fwrite(file.data(), 1, file.size(), out) != file.size() || fclose(out) != 0) {
        fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
