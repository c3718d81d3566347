// The bytes of a serial navigation line, of any content, in reads of any size: the sentences
// found must not depend on how the bytes were cut, must be printable, start with '$' and fit the
// length cap; every one that reads as a fix must be sound and go through the store, and the fix
// composed again from it must read back to the same values.
//
// Input: 1 byte that seeds the read sizes, then the bytes of the line.

#include "navigation/CFixStore.h"
#include "navigation/CLineSplitter.h"
#include "navigation/NavigationSentence.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace vexar;

// The sentences of one cutting of the bytes: their texts one after the other, and where each
// ends. Kept from input to input, so that an input's sentences take no allocation of their own.
struct Lines {
    std::string text;
    std::vector<std::size_t> ends;

    bool operator==(const Lines&) const = default;
    std::string_view Line(std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends[i - 1];
        return std::string_view(text).substr(begin, ends[i] - begin);
    }
};

void Split(std::span<const std::uint8_t> bytes, std::uint8_t seed, Lines& lines) {
    CLineSplitter splitter;
    lines.text.clear();
    lines.ends.clear();
    std::uint32_t state = seed * 2654435761u + 1u;
    std::size_t at = 0;
    while (at < bytes.size()) {
        state = state * 1664525u + 1013904223u;
        // Reads of 1 byte up to the whole rest, small ones most often.
        const std::size_t size = seed == 0 ? bytes.size() : 1 + (state >> 24) % (seed % 64 + 1);
        const std::size_t take = size < bytes.size() - at ? size : bytes.size() - at;
        splitter.Feed(bytes.subspan(at, take), [&](std::string_view line) {
            lines.text += line;
            lines.ends.push_back(lines.text.size());
        });
        at += take;
    }
}

void CheckSentence(std::string_view line) {
    if (line.empty() || line.size() > kMaxLiveSentenceLength || line[0] != '$' ||
        line.find('$', 1) != std::string_view::npos) {
        std::abort();
    }
    for (const char c : line) {
        if (c < 0x20 || c > 0x7E) {
            std::abort();
        }
    }
}

void CheckFix(std::string_view line, CFixStore& store) {
    const std::optional<NavigationFix> fix = ReadSentence(line);
    if (!fix) {
        return;
    }
    if (BadFields(*fix) != 0) {
        std::abort();
    }
    store.PostReceived(*fix, line, 1000);
    std::array<char, kMaxLiveSentenceLength> text;
    const std::size_t length = ComposeSentence(*fix, text);
    const std::optional<NavigationFix> again = ReadSentence(std::string_view(text.data(), length));
    if (length == 0 || !again || again->position.has_value() != fix->position.has_value() ||
        again->utcMs != fix->utcMs) {
        std::abort();
    }
    if (fix->position && (std::fabs(again->position->latitudeDeg - fix->position->latitudeDeg) > 1e-8 ||
                          std::fabs(again->position->longitudeDeg - fix->position->longitudeDeg) > 1e-8)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    static Lines whole;
    static Lines cut;
    Split(bytes, 0, whole);
    Split(bytes, data[0], cut);
    if (cut != whole) {
        std::abort(); // the sentences must not depend on how the reads cut the bytes
    }
    // One store for all inputs, started over for each: its ring is made once.
    static CFixStore store;
    store.Reset(NavSourceKind::None);
    for (std::size_t i = 0; i < whole.ends.size(); ++i) {
        CheckSentence(whole.Line(i));
        CheckFix(whole.Line(i), store);
    }
    NavigationSample sample;
    (void)store.Newest(1000, 2000, sample);
    return 0;
}
