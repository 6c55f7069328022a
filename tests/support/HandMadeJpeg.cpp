#include "support/HandMadeJpeg.h"

#include <cstdint>

namespace kavenra::test {
namespace {

void PutBig16(Bytes& out, unsigned value) {
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value));
}

void PutSegment(Bytes& out, unsigned marker, const Bytes& body) {
    out.push_back(0xFF);
    out.push_back(static_cast<unsigned char>(marker));
    PutBig16(out, static_cast<unsigned>(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

// Entropy-coded bits, most significant first, with a zero byte stuffed after every 0xFF.
class BitWriter {
  public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void put(unsigned bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = static_cast<unsigned char>(byte_ << 1 | ((bits >> i) & 1));
            if (++filled_ == 8) flush();
        }
    }
    // Pads the last byte with one bits, as the standard asks before a marker.
    void align() {
        while (filled_ != 0) put(1, 1);
    }

  private:
    void flush() {
        out_.push_back(byte_);
        if (byte_ == 0xFF) out_.push_back(0);
        byte_ = 0;
        filled_ = 0;
    }
    Bytes& out_;
    unsigned char byte_ = 0;
    int filled_ = 0;
};

// The standard's luminance DC table: code lengths per category 0 to 11.
constexpr unsigned char kDcCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};

struct Code {
    unsigned bits;
    int length;
};

// The canonical codes the counts above give, by category.
Code DcCode(int category) {
    unsigned code = 0;
    int symbol = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < kDcCounts[length - 1]; ++i, ++symbol, ++code) {
            if (symbol == category) return {code, length};
        }
        code <<= 1;
    }
    return {0, 0};
}

int Category(int value) {
    int magnitude = value < 0 ? -value : value;
    int category = 0;
    while (magnitude > 0) {
        magnitude >>= 1;
        ++category;
    }
    return category;
}

}  // namespace

Bytes EncodeJpegWithRestartMarkers(int width, int height, int interval) {
    Bytes out{0xFF, 0xD8};
    Bytes quantisation{0x00};
    quantisation.insert(quantisation.end(), 64, 1);
    PutSegment(out, 0xDB, quantisation);
    Bytes frame{8};
    PutBig16(frame, static_cast<unsigned>(height));
    PutBig16(frame, static_cast<unsigned>(width));
    frame.insert(frame.end(), {1, 1, 0x11, 0});
    PutSegment(out, 0xC0, frame);
    Bytes dcTable{0x00};
    dcTable.insert(dcTable.end(), std::begin(kDcCounts), std::end(kDcCounts));
    for (unsigned char category = 0; category <= 11; ++category) dcTable.push_back(category);
    PutSegment(out, 0xC4, dcTable);
    // One AC symbol, end of block, coded as a single 0 bit: every block is flat.
    Bytes acTable{0x10, 1};
    acTable.insert(acTable.end(), 15, 0);
    acTable.push_back(0x00);
    PutSegment(out, 0xC4, acTable);
    Bytes restartInterval;
    PutBig16(restartInterval, static_cast<unsigned>(interval));
    PutSegment(out, 0xDD, restartInterval);
    PutSegment(out, 0xDA, {1, 1, 0x00, 0, 63, 0});

    BitWriter bits(out);
    int predictor = 0;
    int block = 0;
    for (int row = 0; row < height / 8; ++row) {
        for (int column = 0; column < width / 8; ++column, ++block) {
            if (block > 0 && block % interval == 0) {
                bits.align();
                out.push_back(0xFF);
                out.push_back(static_cast<unsigned char>(0xD0 + (block / interval - 1) % 8));
                predictor = 0;
            }
            const int grey = 28 + (column * 37 + row * 53) % 200;
            const int dc = 8 * (grey - 128);  // a flat block's DC coefficient, quantised by 1
            const int difference = dc - predictor;
            predictor = dc;
            const int category = Category(difference);
            const Code code = DcCode(category);
            bits.put(code.bits, code.length);
            const int extra = difference < 0 ? difference + (1 << category) - 1 : difference;
            bits.put(static_cast<unsigned>(extra), category);
            bits.put(0, 1);  // end of block
        }
    }
    bits.align();
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

}  // namespace kavenra::test
