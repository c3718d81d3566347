// Navigation sentences of any bytes and length: the parse must never read outside the text, and
// the position texts it keeps are always pieces of the sentence.

#include "navigation/CNavigation.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // libFuzzer hands over exactly `size` bytes: any read past the sentence trips the sanitizer.
    const auto* text = reinterpret_cast<const char*>(data);
    const std::string_view sentence(text, size);

    vexar::CNavigation nav;
    nav.ParseNavigationSentence(sentence, false);
    if (nav.m_latitudeText.size() > size || nav.m_longitudeText.size() > size ||
        sentence.find(nav.m_latitudeText) == std::string_view::npos ||
        sentence.find(nav.m_longitudeText) == std::string_view::npos) {
        std::abort();
    }
    // Twice more with the track running: a first fix, then a move from it, through the UTM
    // projection with whatever numbers the text gives.
    nav.ParseNavigationSentence(sentence, true);
    nav.ParseNavigationSentence(sentence, true);
    if (nav.m_firstFix == 0 && (nav.m_trackOffsetX != 0.0 || nav.m_trackOffsetY != 0.0)) {
        std::abort(); // the same fix twice is no travel
    }
    return 0;
}
