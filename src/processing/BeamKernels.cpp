#include "processing/BeamKernels.h"

#include "head/COndrel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexar {

namespace {

using Vec4 = float __attribute__((vector_size(16)));
using Vec8 = float __attribute__((vector_size(32)));
using Vec16 = float __attribute__((vector_size(64)));

constexpr int kHalfElements = kElementCount / 2;

// Vectors are passed by reference only: their by-value ABI differs between instruction sets.
template <class V> [[gnu::always_inline]] inline void Load(V& v, const float* p) {
    std::memcpy(&v, p, sizeof(V));
}

template <class V> [[gnu::always_inline]] inline void Store(float* p, const V& v) {
    std::memcpy(p, &v, sizeof(V));
}

// In-phase and quadrature cross products of the two sub-array sums.
template <class V>
[[gnu::always_inline]] inline void CrossProducts(V& p, V& q, const V& are, const V& aim, const V& bre,
                                                 const V& bim) {
    p = are * bre + aim * bim;
    q = bre * aim - bim * are;
}

// The coherence weight of the selected width applied to the in-phase cross product; the
// polynomials are evaluated by Horner's rule.
template <class V>
[[gnu::always_inline]] inline void CombineCross(V& out, const V& p, const V& q, int width, float gainFactor) {
    const V x = p * p / (p * p + q * q + 1.0f);
    V value;
    if (width == 0) {
        value = p * gainFactor * x;
    } else if (width == 1) {
        V d = 30.9087f * x - 6.0816f;
        d = d * x + 2.9357f;
        d = d * x - 0.1533f;
        d = d * x + 0.0783f;
        d = d * x + 0.5034f;
        value = p * gainFactor * d;
    } else {
        V d = 148.0401f * x + 293.4049f;
        d = d * x - 230.0377f;
        d = d * x - 744.021f;
        d = d * x - 8.88f;
        d = d * x + 712.976f;
        d = d * x + 191.2037f;
        d = d * x - 321.1395f;
        d = d * x - 124.5031f;
        d = d * x + 68.5798f;
        d = d * x + 30.9087f;
        d = d * x - 6.0816f;
        d = d * x - 2.9357f;
        d = d * x + 0.1533f;
        d = d * x + 0.0783f;
        d = d * x + 0.5034f;
        value = p * gainFactor * d;
    }
    // NaN (from absurd gains) and negative values both become 0.
    const V zero{};
    out = value > zero ? value : zero;
}

template <class V>
[[gnu::always_inline]] inline void Combine(V& out, const V& are, const V& aim, const V& bre, const V& bim,
                                           int width, float gainFactor) {
    V p, q;
    CrossProducts(p, q, are, aim, bre, bim);
    CombineCross(out, p, q, width, gainFactor);
}

// Moving average of one row over the history slot being replaced.
[[gnu::always_inline]] inline void AverageRow(float* image, float* sum, float* history, int samples,
                                              float scale) {
    for (int s = 0; s < samples; ++s) {
        float total = sum[s] - history[s];
        total = total >= 0.0f ? total : 0.0f;
        const float value = image[s];
        history[s] = value;
        total = total + value;
        sum[s] = total;
        float out = total * scale;
        out = out > 0.0f ? out : 0.0f;
        out = out >= 255.0f ? 255.0f : out;
        image[s] = out;
    }
}

// Sums of one sub-array (elements k0..k0+7) for two beams with their own steering.
template <class V>
[[gnu::always_inline]] inline void PairSums(const float* iBase, const float* qBase, const float* c0,
                                            const float* s0, const float* c1, const float* s1, int k0, V& re0,
                                            V& im0, V& re1, V& im1) {
    for (int k = k0; k < k0 + kHalfElements; ++k) {
        V i, q;
        Load(i, iBase + k * kDemodBlockSamples);
        Load(q, qBase + k * kDemodBlockSamples);
        re0 = re0 + (i * c0[k] - q * s0[k]);
        im0 = im0 + (q * c0[k] + i * s0[k]);
        re1 = re1 + (i * c1[k] - q * s1[k]);
        im1 = im1 + (q * c1[k] + i * s1[k]);
    }
}

// The same for a beam and its mirror image (same cosines, opposite sines): the four partial
// sums of the first beam give both.
template <class V>
[[gnu::always_inline]] inline void MirrorPairSums(const float* iBase, const float* qBase, const float* c,
                                                  const float* s, int k0, V& re0, V& im0, V& re1, V& im1) {
    V ic{}, qs{}, qc{}, is{};
    for (int k = k0; k < k0 + kHalfElements; ++k) {
        V i, q;
        Load(i, iBase + k * kDemodBlockSamples);
        Load(q, qBase + k * kDemodBlockSamples);
        ic = ic + i * c[k];
        qs = qs + q * s[k];
        qc = qc + q * c[k];
        is = is + i * s[k];
    }
    re0 = ic - qs;
    im0 = qc + is;
    re1 = ic + qs;
    im1 = qc - is;
}

// Two beams at a time share the element loads. Beams b0 and b1 (b1 may equal b0) are formed into
// row0 and row1 and averaged with their own history rows.
template <class V, bool kMirrored>
[[gnu::always_inline]] inline void FormPairBody(const BeamFormJob& job, int b0, int b1, float* row0,
                                                float* row1) {
    constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(float));
    const std::size_t stride = job.rowStride;
    constexpr int kSteps = kDemodBlockSamples / kLanes;
    const int blocks = (job.formedSamples + kDemodBlockSamples - 1) / kDemodBlockSamples;
    const int samples = job.samples;
    const float* c0 = job.steerCos + static_cast<std::size_t>(b0) * kElementCount;
    const float* s0 = job.steerSin + static_cast<std::size_t>(b0) * kElementCount;
    const float* c1 = job.steerCos + static_cast<std::size_t>(b1) * kElementCount;
    const float* s1 = job.steerSin + static_cast<std::size_t>(b1) * kElementCount;
    float* history0 = job.history + static_cast<std::size_t>(b0) * stride;
    float* history1 = job.history + static_cast<std::size_t>(b1) * stride;
    float* sum0 = job.averageSum + static_cast<std::size_t>(b0) * stride;
    float* sum1 = job.averageSum + static_cast<std::size_t>(b1) * stride;
    alignas(64) float cross0[kMaxSamples + kDemodBlockSamples];
    alignas(64) float cross1[kMaxSamples + kDemodBlockSamples];
    for (int blk = 0; blk < blocks; ++blk) {
        // The history slot was written pings ago and is far out of cache: fetch the lines the
        // averaging of these two rows needs while the beams are being formed.
        const std::size_t line = static_cast<std::size_t>(blk * kDemodBlockSamples);
        __builtin_prefetch(history0 + line, 1);
        __builtin_prefetch(history1 + line, 1);
        __builtin_prefetch(sum0 + line, 1);
        __builtin_prefetch(sum1 + line, 1);
        for (int step = 0; step < kSteps; ++step) {
            const std::size_t j = static_cast<std::size_t>(blk * kDemodBlockSamples + step * kLanes);
            const float* iBase = job.demod + static_cast<std::size_t>(blk) * kDemodBlockFloats +
                                 static_cast<std::size_t>(step * kLanes);
            const float* qBase = iBase + kDemodBlockFloats / 2;
            V are0{}, aim0{}, bre0{}, bim0{};
            V are1{}, aim1{}, bre1{}, bim1{};
            if constexpr (kMirrored) {
                MirrorPairSums(iBase, qBase, c0, s0, 0, are0, aim0, are1, aim1);
                MirrorPairSums(iBase, qBase, c0, s0, kHalfElements, bre0, bim0, bre1, bim1);
            } else {
                PairSums(iBase, qBase, c0, s0, c1, s1, 0, are0, aim0, are1, aim1);
                PairSums(iBase, qBase, c0, s0, c1, s1, kHalfElements, bre0, bim0, bre1, bim1);
            }
            // The cross products wait in the rows; the coherence weights follow in a loop of
            // their own, where independent samples overlap their long chains of products.
            V p, q;
            CrossProducts(p, q, are0, aim0, bre0, bim0);
            Store(row0 + j, p);
            Store(cross0 + j, q);
            if (b1 != b0) {
                CrossProducts(p, q, are1, aim1, bre1, bim1);
                Store(row1 + j, p);
                Store(cross1 + j, q);
            }
        }
    }
    for (int which = 0; which < (b1 != b0 ? 2 : 1); ++which) {
        float* row = which == 0 ? row0 : row1;
        const float* cross = which == 0 ? cross0 : cross1;
        for (int j = 0; j < blocks * kDemodBlockSamples; j += kLanes) {
            V p, q, value;
            Load(p, row + j);
            Load(q, cross + j);
            CombineCross(value, p, q, job.width, job.gainFactor);
            Store(row + j, value);
        }
    }
    // Sample 0 and the samples the combination does not store stay 0.
    const int keepEnd = std::min(job.lastStored, job.formedSamples - 1);
    const int clearTo = blocks * kDemodBlockSamples > samples ? blocks * kDemodBlockSamples : samples;
    for (int which = 0; which < (b1 != b0 ? 2 : 1); ++which) {
        float* row = which == 0 ? row0 : row1;
        const int b = which == 0 ? b0 : b1;
        row[0] = 0.0f;
        for (int s = std::max(keepEnd + 1, 1); s < clearTo; ++s) {
            row[s] = 0.0f;
        }
        AverageRow(row, job.averageSum + static_cast<std::size_t>(b) * stride,
                   job.history + static_cast<std::size_t>(b) * stride, samples, job.averageScale);
    }
}

// A beam and its mirror image take the shared sums.
template <class V>
[[gnu::always_inline]] inline void FormPair(const BeamFormJob& job, int b0, int b1, float* row0,
                                            float* row1) {
    if (b1 == job.beams - 1 - b0 && b1 != b0) {
        FormPairBody<V, true>(job, b0, b1, row0, row1);
    } else {
        FormPairBody<V, false>(job, b0, b1, row0, row1);
    }
}

// No beams formed: the rows are 0 and only the averaging runs.
[[gnu::always_inline]] inline void AveragePairBody(const BeamFormJob& job, int b0, int b1, float* row0,
                                                   float* row1) {
    for (int which = 0; which < (b1 != b0 ? 2 : 1); ++which) {
        float* row = which == 0 ? row0 : row1;
        const std::size_t offset = static_cast<std::size_t>(which == 0 ? b0 : b1) * job.rowStride;
        std::memset(row, 0, static_cast<std::size_t>(job.samples) * sizeof(float));
        AverageRow(row, job.averageSum + offset, job.history + offset, job.samples, job.averageScale);
    }
}

// target = max(target, min(source, 255)) element by element.
[[gnu::always_inline]] inline void MaxClampedBody(float* target, const float* source, int length) {
    for (int x = 0; x < length; ++x) {
        const float v = source[x] < 255.0f ? source[x] : 255.0f;
        target[x] = target[x] < v ? v : target[x];
    }
}

[[gnu::target("avx512f,avx512vl,avx512dq,avx512bw,avx2,bmi2")]] void
FormAvx512(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    FormPair<Vec16>(job, b0, b1, row0, row1);
}
[[gnu::target("avx2,bmi2")]] void FormAvx2(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    FormPair<Vec8>(job, b0, b1, row0, row1);
}
void FormDefault(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    FormPair<Vec4>(job, b0, b1, row0, row1);
}

[[gnu::target("avx512f,avx512vl,avx512dq,avx512bw,avx2,bmi2")]] void
AverageAvx512(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    AveragePairBody(job, b0, b1, row0, row1);
}
[[gnu::target("avx2,bmi2")]] void AverageAvx2(const BeamFormJob& job, int b0, int b1, float* row0,
                                              float* row1) {
    AveragePairBody(job, b0, b1, row0, row1);
}
void AverageDefault(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    AveragePairBody(job, b0, b1, row0, row1);
}

[[gnu::target("avx512f,avx512vl,avx512dq,avx512bw,avx2,bmi2")]] void
MaxClampedAvx512(float* target, const float* source, int length) {
    MaxClampedBody(target, source, length);
}
[[gnu::target("avx2,bmi2")]] void MaxClampedAvx2(float* target, const float* source, int length) {
    MaxClampedBody(target, source, length);
}
void MaxClampedDefault(float* target, const float* source, int length) {
    MaxClampedBody(target, source, length);
}

enum class Isa { Avx512, Avx2, Baseline };

Isa DetectIsa() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")) {
        return Isa::Avx512;
    }
    if (__builtin_cpu_supports("avx2")) {
        return Isa::Avx2;
    }
    return Isa::Baseline;
}

Isa MachineIsa() {
    static const Isa isa = DetectIsa();
    return isa;
}

// Of one thing built for each instruction set, the one for this machine.
template <typename T> T ForMachine(T avx512, T avx2, T baseline) {
    switch (MachineIsa()) {
    case Isa::Avx512:
        return avx512;
    case Isa::Avx2:
        return avx2;
    case Isa::Baseline:
        return baseline;
    }
    return baseline;
}

} // namespace

void FormAndAverageBeamPair(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    ForMachine(FormAvx512, FormAvx2, FormDefault)(job, b0, b1, row0, row1);
}

void AverageBeamPair(const BeamFormJob& job, int b0, int b1, float* row0, float* row1) {
    ForMachine(AverageAvx512, AverageAvx2, AverageDefault)(job, b0, b1, row0, row1);
}

void MaxClampedInto(float* target, const float* source, int length) {
    ForMachine(MaxClampedAvx512, MaxClampedAvx2, MaxClampedDefault)(target, source, length);
}

void DemodulateElements(const DemodulateJob& job) {
    const int n = job.samples;
    const auto Row = [&job](int k) { return static_cast<std::size_t>(k) * job.rowStride; };
    // Signed logarithmic compression after the time-varied gain.
    for (int k = 0; k < kElementCount; ++k) {
        float* row = job.elements + Row(k);
        for (int i = 0; i < n; ++i) {
            float v = row[i] * job.gain[i];
            v = v <= 0.0f ? v - 1.0f : v + 1.0f;
            row[i] = v >= 0.0f ? std::log10(v) : -std::log10(-v);
        }
    }

    // Damped sliding DFT of length 8, all 16 elements side by side.
    const float r8 = job.damping8;
    float delay[8][kElementCount] = {};
    float s1r[kElementCount] = {}, s1i[kElementCount] = {};
    float s2r[kElementCount] = {}, s2i[kElementCount] = {};
    float s3r[kElementCount] = {}, s3i[kElementCount] = {};
    float wRe[kElementCount], wIm[kElementCount];
    for (int k = 0; k < kElementCount; ++k) {
        wRe[k] = job.quadRe[k];
        wIm[k] = job.quadIm[k];
    }
    const float t1r = job.twiddleRe[1], t1i = job.twiddleIm[1], t2r = job.twiddleRe[2],
                t2i = job.twiddleIm[2], t3r = job.twiddleRe[3], t3i = job.twiddleIm[3];
    float* elements = job.elements;
    float* demod = job.demod;
    for (int t = 0; t < n + 4; ++t) {
        float x[kElementCount];
        for (int k = 0; k < kElementCount; ++k) {
            x[k] = t < n ? elements[Row(k) + static_cast<std::size_t>(t)] : 0.0f;
        }
        float* line = delay[t & 7];
        float sumRe[kElementCount], sumIm[kElementCount];
        for (int k = 0; k < kElementCount; ++k) {
            const float d = r8 * line[k] - x[k];
            line[k] = x[k];
            float re = d + (t1r * s1r[k] - t1i * s1i[k]);
            float im = t1r * s1i[k] + t1i * s1r[k];
            s1r[k] = re;
            s1i[k] = im;
            re = d + (t2r * s2r[k] - t2i * s2i[k]);
            im = t2r * s2i[k] + t2i * s2r[k];
            s2r[k] = re;
            s2i[k] = im;
            re = d + (t3r * s3r[k] - t3i * s3i[k]);
            im = t3r * s3i[k] + t3i * s3r[k];
            s3r[k] = re;
            s3i[k] = im;
            sumRe[k] = s3r[k] - (s2r[k] - s1r[k]);
            sumIm[k] = s3i[k] - (s2i[k] - s1i[k]);
        }
        // The window delays by four samples: output t belongs to sample t - 4.
        if (t >= 4) {
            for (int k = 0; k < kElementCount; ++k) {
                demod[DemodIndex(k, t - 4, false)] = 0.5f * (wRe[k] * sumRe[k]);
                demod[DemodIndex(k, t - 4, true)] = 0.5f * (wIm[k] * sumIm[k]);
            }
        }
    }
    for (int k = 0; k < kElementCount; ++k) {
        for (int l = n; l < n + 4; ++l) {
            demod[DemodIndex(k, l, false)] = 0.0f;
            demod[DemodIndex(k, l, true)] = 0.0f;
        }
        for (int l = 0; l < n + 4; ++l) {
            elements[Row(k) + static_cast<std::size_t>(l)] =
                (demod[DemodIndex(k, l, false)] + demod[DemodIndex(k, l, true)]) * 0.5f;
        }
    }
}

float CombineSample(float aRe, float aIm, float bRe, float bIm, int width, float gainFactor) {
    float value = 0.0f;
    Combine(value, aRe, aIm, bRe, bIm, width, gainFactor);
    return value;
}

const char* BeamKernelIsa() {
    return ForMachine("avx512", "avx2", "baseline");
}

} // namespace vexar
