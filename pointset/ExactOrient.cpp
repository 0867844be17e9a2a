// Exact orientation sign by integer arithmetic. Every finite float is m * 2^e with |m| < 2^24, so
// scaling the twelve coordinates by 2^-emin turns them into integers of at most 24 + 253 bits; the
// determinant is a degree-3 polynomial of their differences and needs at most 838 bits. The
// integers are two's complement in as many 64-bit limbs as the exponent spread asks for; products
// are taken modulo 2^(64 n), which is exact because the true values fit.

#include "pointset/ExactOrient.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace orvex {

namespace {

constexpr int kMaxLimbs = 14;

struct Big {
    std::uint64_t w[kMaxLimbs];
};

struct FloatParts {
    std::uint64_t mantissa;  // 0 for a zero
    int exponent;            // value = +-mantissa * 2^exponent
    bool negative;
};

FloatParts Split(float value) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const int biased = int((bits >> 23) & 0xffu);
    const std::uint32_t fraction = bits & 0x7fffffu;
    FloatParts parts;
    parts.negative = (bits >> 31) != 0;
    if (biased == 0) {
        parts.mantissa = fraction;
        parts.exponent = -149;
    } else {
        parts.mantissa = fraction | 0x800000u;
        parts.exponent = biased - 150;
    }
    return parts;
}

void Negate(Big& x, int n) {
    std::uint64_t carry = 1;
    for (int i = 0; i < n; ++i) {
        const std::uint64_t v = ~x.w[i] + carry;
        carry = (carry && v == 0) ? 1 : 0;
        x.w[i] = v;
    }
}

Big Make(const FloatParts& p, int emin, int n) {
    Big x{};
    if (p.mantissa != 0) {
        const int shift = p.exponent - emin;
        const int limb = shift / 64, offset = shift % 64;
        x.w[limb] = p.mantissa << offset;
        if (offset > 40 && limb + 1 < n) x.w[limb + 1] = p.mantissa >> (64 - offset);
        if (p.negative) Negate(x, n);
    }
    return x;
}

Big Sub(const Big& a, const Big& b, int n) {
    Big r;
    unsigned __int128 carry = 1;
    for (int i = 0; i < n; ++i) {
        const unsigned __int128 t = (unsigned __int128)a.w[i] + (std::uint64_t)~b.w[i] + carry;
        r.w[i] = std::uint64_t(t);
        carry = t >> 64;
    }
    return r;
}

Big Add(const Big& a, const Big& b, int n) {
    Big r;
    unsigned __int128 carry = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned __int128 t = (unsigned __int128)a.w[i] + b.w[i] + carry;
        r.w[i] = std::uint64_t(t);
        carry = t >> 64;
    }
    return r;
}

Big Mul(const Big& a, const Big& b, int n) {
    Big r{};
    for (int i = 0; i < n; ++i) {
        if (a.w[i] == 0) continue;
        unsigned __int128 carry = 0;
        for (int j = 0; i + j < n; ++j) {
            const unsigned __int128 t = (unsigned __int128)a.w[i] * b.w[j] + r.w[i + j] + carry;
            r.w[i + j] = std::uint64_t(t);
            carry = t >> 64;
        }
    }
    return r;
}

int Sign(const Big& x, int n) {
    if (x.w[n - 1] >> 63) return -1;
    for (int i = 0; i < n; ++i)
        if (x.w[i]) return 1;
    return 0;
}

}  // namespace

int Orient3d_Exact_Sign(const float* a, const float* b, const float* c, const float* d) {
    const float* in[4] = {a, b, c, d};
    FloatParts parts[12];
    int emin = 1000, emax = -1000;
    for (int p = 0; p < 4; ++p) {
        for (int k = 0; k < 3; ++k) {
            parts[3 * p + k] = Split(in[p][k]);
            if (parts[3 * p + k].mantissa == 0) continue;
            emin = std::min(emin, parts[3 * p + k].exponent);
            emax = std::max(emax, parts[3 * p + k].exponent);
        }
    }
    if (emax < emin) return 0;  // all twelve coordinates are zero
    // Values below 2^(24 + spread); the determinant needs 79 + 3 * spread bits with its sign.
    const int spread = emax - emin;
    const int limbs = std::min(kMaxLimbs, (79 + 3 * spread) / 64 + 1);
    Big v[12];
    for (int i = 0; i < 12; ++i) v[i] = Make(parts[i], emin, limbs);
    Big e[3][3];  // rows b - a, c - a, d - a
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) e[r][k] = Sub(v[3 * (r + 1) + k], v[k], limbs);
    const Big nx = Sub(Mul(e[0][1], e[1][2], limbs), Mul(e[0][2], e[1][1], limbs), limbs);
    const Big ny = Sub(Mul(e[0][2], e[1][0], limbs), Mul(e[0][0], e[1][2], limbs), limbs);
    const Big nz = Sub(Mul(e[0][0], e[1][1], limbs), Mul(e[0][1], e[1][0], limbs), limbs);
    const Big det =
        Add(Add(Mul(nx, e[2][0], limbs), Mul(ny, e[2][1], limbs), limbs), Mul(nz, e[2][2], limbs), limbs);
    return Sign(det, limbs);
}

}  // namespace orvex
