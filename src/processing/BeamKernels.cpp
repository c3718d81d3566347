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

// The steering of the two beams of a pair, 16 cosines and 16 sines each.
struct PairSteering {
    const float* c0;
    const float* s0;
    const float* c1;
    const float* s1;
};

// The history and sum rows of a pair of beams, taken once before the forming: the compiler would
// otherwise read them from the job again after the stores of every step.
struct AveragingRows {
    [[gnu::always_inline]] AveragingRows(const BeamFormJob& job, int b0, int b1)
        : history0(job.history + static_cast<std::size_t>(b0) * job.rowStride),
          history1(job.history + static_cast<std::size_t>(b1) * job.rowStride),
          sum0(job.averageSum + static_cast<std::size_t>(b0) * job.rowStride),
          sum1(job.averageSum + static_cast<std::size_t>(b1) * job.rowStride) {}

    // The history slot was written pings ago and is far out of cache: fetch the lines the
    // averaging needs from sample `line` on while the beams are being formed.
    [[gnu::always_inline]] void Prefetch(std::size_t line) const {
        __builtin_prefetch(history0 + line, 1);
        __builtin_prefetch(history1 + line, 1);
        __builtin_prefetch(sum0 + line, 1);
        __builtin_prefetch(sum1 + line, 1);
    }

    const float* history0;
    const float* history1;
    const float* sum0;
    const float* sum1;
};

// One vector of samples of both beams: the sums of the two sub-arrays, reduced to their cross
// products. The in-phase product goes into the row, the quadrature one waits in `cross`.
template <class V, bool kMirrored>
[[gnu::always_inline]] inline void CrossStep(const float* iBase, const PairSteering& steer, bool pair,
                                             std::size_t j, float* row0, float* row1, float* cross0,
                                             float* cross1) {
    const float* qBase = iBase + kDemodBlockFloats / 2;
    V are0{}, aim0{}, bre0{}, bim0{};
    V are1{}, aim1{}, bre1{}, bim1{};
    if constexpr (kMirrored) {
        MirrorPairSums(iBase, qBase, steer.c0, steer.s0, 0, are0, aim0, are1, aim1);
        MirrorPairSums(iBase, qBase, steer.c0, steer.s0, kHalfElements, bre0, bim0, bre1, bim1);
    } else {
        PairSums(iBase, qBase, steer.c0, steer.s0, steer.c1, steer.s1, 0, are0, aim0, are1, aim1);
        PairSums(iBase, qBase, steer.c0, steer.s0, steer.c1, steer.s1, kHalfElements, bre0, bim0, bre1, bim1);
    }
    V p, q;
    CrossProducts(p, q, are0, aim0, bre0, bim0);
    Store(row0 + j, p);
    Store(cross0 + j, q);
    if (pair) {
        CrossProducts(p, q, are1, aim1, bre1, bim1);
        Store(row1 + j, p);
        Store(cross1 + j, q);
    }
}

// The cross products of the first `blocks` blocks of beams b0 and b1 into the rows and `cross`.
template <class V, bool kMirrored>
[[gnu::always_inline]] inline void FormCrossProducts(const BeamFormJob& job, int b0, int b1, int blocks,
                                                     float* row0, float* row1, float* cross0, float* cross1) {
    constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(float));
    constexpr int kSteps = kDemodBlockSamples / kLanes;
    const PairSteering steer{job.steerCos + static_cast<std::size_t>(b0) * kElementCount,
                             job.steerSin + static_cast<std::size_t>(b0) * kElementCount,
                             job.steerCos + static_cast<std::size_t>(b1) * kElementCount,
                             job.steerSin + static_cast<std::size_t>(b1) * kElementCount};
    const AveragingRows averaging(job, b0, b1);
    for (int blk = 0; blk < blocks; ++blk) {
        averaging.Prefetch(static_cast<std::size_t>(blk * kDemodBlockSamples));
        // Taken once a block: read from the job at every step, it is loaded again after the stores.
        const float* block = job.demod + static_cast<std::size_t>(blk) * kDemodBlockFloats;
        for (int step = 0; step < kSteps; ++step) {
            const std::size_t j = static_cast<std::size_t>(blk * kDemodBlockSamples + step * kLanes);
            CrossStep<V, kMirrored>(block + step * kLanes, steer, b1 != b0, j, row0, row1, cross0, cross1);
        }
    }
}

// The coherence weights applied to the first `count` samples of a row, in place; `cross` holds
// the quadrature cross products beside the in-phase ones in the row.
template <class V>
[[gnu::always_inline]] inline void WeighRow(const BeamFormJob& job, float* row, const float* cross,
                                            int count) {
    constexpr int kLanes = static_cast<int>(sizeof(V) / sizeof(float));
    for (int j = 0; j < count; j += kLanes) {
        V p, q, value;
        Load(p, row + j);
        Load(q, cross + j);
        CombineCross(value, p, q, job.width, job.gainFactor);
        Store(row + j, value);
    }
}

// Sample 0 and samples keepEnd + 1 .. clearTo - 1, which the combination does not store, stay 0;
// then beam b's row is averaged with its history.
[[gnu::always_inline]] inline void ClearAndAverage(const BeamFormJob& job, int b, float* row, int keepEnd,
                                                   int clearTo) {
    row[0] = 0.0f;
    for (int s = std::max(keepEnd + 1, 1); s < clearTo; ++s) {
        row[s] = 0.0f;
    }
    const std::size_t offset = static_cast<std::size_t>(b) * job.rowStride;
    AverageRow(row, job.averageSum + offset, job.history + offset, job.samples, job.averageScale);
}

// Two beams at a time share the element loads. Beams b0 and b1 (b1 may equal b0) are formed into
// row0 and row1 and averaged with their own history rows.
template <class V, bool kMirrored>
[[gnu::always_inline]] inline void FormPairBody(const BeamFormJob& job, int b0, int b1, float* row0,
                                                float* row1) {
    const int blocks = (job.formedSamples + kDemodBlockSamples - 1) / kDemodBlockSamples;
    const int formedEnd = blocks * kDemodBlockSamples;
    alignas(64) float cross0[kMaxSamples + kDemodBlockSamples];
    alignas(64) float cross1[kMaxSamples + kDemodBlockSamples];
    FormCrossProducts<V, kMirrored>(job, b0, b1, blocks, row0, row1, cross0, cross1);
    // The coherence weights follow in a loop of their own, where independent samples overlap
    // their long chains of products.
    const int rows = b1 != b0 ? 2 : 1;
    for (int which = 0; which < rows; ++which) {
        WeighRow<V>(job, which == 0 ? row0 : row1, which == 0 ? cross0 : cross1, formedEnd);
    }
    const int keepEnd = std::min(job.lastStored, job.formedSamples - 1);
    const int clearTo = formedEnd > job.samples ? formedEnd : job.samples;
    for (int which = 0; which < rows; ++which) {
        ClearAndAverage(job, which == 0 ? b0 : b1, which == 0 ? row0 : row1, keepEnd, clearTo);
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

// Offset of element k's row in a demodulation job's rows.
[[gnu::always_inline]] inline std::size_t ElementRow(const DemodulateJob& job, int k) {
    return static_cast<std::size_t>(k) * job.rowStride;
}

// Signed logarithmic compression of every element row after the time-varied gain.
[[gnu::always_inline]] inline void CompressElements(const DemodulateJob& job) {
    const int n = job.samples;
    for (int k = 0; k < kElementCount; ++k) {
        float* row = job.elements + ElementRow(job, k);
        for (int i = 0; i < n; ++i) {
            float v = row[i] * job.gain[i];
            v = v <= 0.0f ? v - 1.0f : v + 1.0f;
            row[i] = v >= 0.0f ? std::log10(v) : -std::log10(-v);
        }
    }
}

// One step of a damped resonator of the sliding DFT: s = d + t s, complex.
[[gnu::always_inline]] inline void Resonate(float& sRe, float& sIm, float tRe, float tIm, float d) {
    const float re = d + (tRe * sRe - tIm * sIm);
    const float im = tRe * sIm + tIm * sRe;
    sRe = re;
    sIm = im;
}

// Sample t of every element row, or 0 past the end of the rows while the window drains. The
// rows come as a copy of the job's pointer, which the compiler would otherwise load again after
// every store.
[[gnu::always_inline]] inline void ElementsAt(const DemodulateJob& job, const float* elements, int t,
                                              float* x) {
    for (int k = 0; k < kElementCount; ++k) {
        x[k] = t < job.samples ? elements[ElementRow(job, k) + static_cast<std::size_t>(t)] : 0.0f;
    }
}

// The combined bins of one sample, weighted by element (w), as its I and Q.
[[gnu::always_inline]] inline void StoreBins(float* demod, int sample, const float* wRe, const float* wIm,
                                             const float* sumRe, const float* sumIm) {
    for (int k = 0; k < kElementCount; ++k) {
        demod[DemodIndex(k, sample, false)] = 0.5f * (wRe[k] * sumRe[k]);
        demod[DemodIndex(k, sample, true)] = 0.5f * (wIm[k] * sumIm[k]);
    }
}

// The four samples past the end are 0 in I and Q, and every row is replaced by the I + Q mean.
[[gnu::always_inline]] inline void FinishElements(const DemodulateJob& job) {
    const int n = job.samples;
    float* elements = job.elements;
    float* demod = job.demod;
    for (int k = 0; k < kElementCount; ++k) {
        for (int l = n; l < n + 4; ++l) {
            demod[DemodIndex(k, l, false)] = 0.0f;
            demod[DemodIndex(k, l, true)] = 0.0f;
        }
        for (int l = 0; l < n + 4; ++l) {
            elements[ElementRow(job, k) + static_cast<std::size_t>(l)] =
                (demod[DemodIndex(k, l, false)] + demod[DemodIndex(k, l, true)]) * 0.5f;
        }
    }
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
    CompressElements(job);
    // Damped sliding DFT of length 8, all 16 elements side by side. The job's constants are
    // copied, where stores to the rows cannot reach them.
    const float r8 = job.damping8;
    const float t1r = job.twiddleRe[1], t1i = job.twiddleIm[1], t2r = job.twiddleRe[2],
                t2i = job.twiddleIm[2], t3r = job.twiddleRe[3], t3i = job.twiddleIm[3];
    float wRe[kElementCount], wIm[kElementCount];
    for (int k = 0; k < kElementCount; ++k) {
        wRe[k] = job.quadRe[k];
        wIm[k] = job.quadIm[k];
    }
    // The state stays in separate arrays: gathered into one structure, it is spilled more.
    float delay[8][kElementCount] = {};
    float s1r[kElementCount] = {}, s1i[kElementCount] = {};
    float s2r[kElementCount] = {}, s2i[kElementCount] = {};
    float s3r[kElementCount] = {}, s3i[kElementCount] = {};
    const int n = job.samples;
    const float* elements = job.elements;
    float* demod = job.demod;
    for (int t = 0; t < n + 4; ++t) {
        float x[kElementCount];
        ElementsAt(job, elements, t, x);
        float* line = delay[t & 7];
        float sumRe[kElementCount], sumIm[kElementCount];
        for (int k = 0; k < kElementCount; ++k) {
            const float d = r8 * line[k] - x[k];
            line[k] = x[k];
            Resonate(s1r[k], s1i[k], t1r, t1i, d);
            Resonate(s2r[k], s2i[k], t2r, t2i, d);
            Resonate(s3r[k], s3i[k], t3r, t3i, d);
            sumRe[k] = s3r[k] - (s2r[k] - s1r[k]);
            sumIm[k] = s3i[k] - (s2i[k] - s1i[k]);
        }
        // The window delays by four samples: output t belongs to sample t - 4.
        if (t >= 4) {
            StoreBins(demod, t - 4, wRe, wIm, sumRe, sumIm);
        }
    }
    FinishElements(job);
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
