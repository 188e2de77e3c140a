#include "app/sha1.h"

#include <cstdint>

namespace tarv::front {

namespace {

std::uint32_t rotateLeft(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

// One round of the compression function over a 64-byte block, as FIPS 180 describes it.
void compress(std::uint32_t state[5], const unsigned char *block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
               std::uint32_t(block[4 * i + 2]) << 8 | std::uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 80; ++i) w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5a827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        const std::uint32_t t = rotateLeft(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotateLeft(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

} // namespace

std::string sha1Hex(const std::string &bytes) {
    std::uint32_t state[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};

    // The message is padded with a one bit, zeros, and its length in bits as a 64-bit big-endian
    // number, to a whole number of blocks.
    std::string message = bytes;
    const std::uint64_t bitLength = std::uint64_t(bytes.size()) * 8;
    message.push_back(char(0x80));
    while (message.size() % 64 != 56) message.push_back('\0');
    for (int shift = 56; shift >= 0; shift -= 8) message.push_back(char((bitLength >> shift) & 0xff));

    for (std::size_t offset = 0; offset < message.size(); offset += 64)
        compress(state, reinterpret_cast<const unsigned char *>(message.data() + offset));

    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint32_t word : state)
        for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(digits[(word >> shift) & 0xf]);
    return hex;
}

} // namespace tarv::front
