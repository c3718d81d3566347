#pragma once
// BatchConversion: converts many recordings at once, each in a process of its own (a damaged
// file cannot take the others down), a few at a time; one progress bar for all of them and a
// table per file at the end.

#include <cstdint>
#include <string>
#include <vector>

namespace vexar::cli {

/// One file of a batch: the command line of its conversion and what it reported.
struct BatchJob {
    std::string input;
    std::vector<std::string> arguments; ///< of `vexar-cli`, without the program
    std::uint64_t bytes = 0;            ///< the input's length, its weight in the progress bar
    double fraction = 0.0;
    bool done = false;
    bool ok = false;
    std::uint64_t pings = 0;
    std::uint64_t damaged = 0;
    double seconds = 0.0;
    std::string reason; ///< the last line the conversion wrote on stderr, when it failed
};

/// The line a conversion run for a batch prints after each few pings, and at its end.
inline constexpr const char* kProgressLine = "progress";
inline constexpr const char* kResultLine = "result";

/// Runs the jobs, `parallel` at a time, in the order given; returns when all have ended.
void RunBatch(std::vector<BatchJob>& jobs, int parallel, const std::string& program);

/// Prints the table of a finished batch on stdout; returns the number of failed files.
int PrintBatchTable(const std::vector<BatchJob>& jobs, double seconds);

} // namespace vexar::cli
