#pragma once
// CLineSplitter: the sentences in the byte stream of a serial line. Reads arrive in pieces of any
// size: a sentence may be split over several, and several may come in one. A sentence starts at
// '$' and ends at a line end (CR or LF) or where the next '$' starts another (sentences run
// together). What it holds is printable text only and at most kMaxLiveSentenceLength characters:
// bytes before a '$', a sentence with any other byte in it, and a sentence that grows longer are
// dropped (up to the next '$' or line end), and counted.

#include "navigation/NavigationSentence.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vexar {

class CLineSplitter {
public:
    /// Feeds the bytes of one read; `onLine(std::string_view)` gets each sentence completed by
    /// them, in order. The view is valid during the call only.
    template <typename OnLine> void Feed(std::span<const std::uint8_t> bytes, OnLine&& onLine) {
        for (const std::uint8_t byte : bytes) {
            if (Take(byte)) {
                onLine(Completed());
            }
        }
    }
    /// Forgets a sentence begun (the device was reopened: its rest will not come).
    void Reset();

    std::uint64_t m_sentences = 0; ///< sentences handed on
    std::uint64_t m_overlong = 0;  ///< sentences dropped for their length
    std::uint64_t m_damaged = 0;   ///< sentences dropped for a byte that is not printable text
    std::uint64_t m_garbage = 0;   ///< bytes outside any sentence (line ends not counted)

private:
    enum class State { Outside, Inside, Dropping };
    /// One byte; true when it completed a sentence (then in Completed()).
    bool Take(std::uint8_t byte);
    /// Ends the sentence held; true when there is one to hand on.
    bool Finish();
    std::string_view Completed() const { return {m_done.data(), m_doneLength}; }

    State m_state = State::Outside;
    std::array<char, kMaxLiveSentenceLength> m_current{};
    std::size_t m_length = 0;
    std::array<char, kMaxLiveSentenceLength> m_done{};
    std::size_t m_doneLength = 0;
};

} // namespace vexar
