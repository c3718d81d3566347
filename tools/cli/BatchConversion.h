#pragma once
// BatchConversion: works on many recordings at once, each in a process of its own (a damaged
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
    std::uint64_t skipped = 0; ///< pings a raster could not place (no position fix)
    std::string reason;        ///< the last line the conversion wrote on stderr, when it failed
};

/// The lines a job run for a batch prints after each few pings ("progress FRACTION"), and at its
/// end ("result PINGS DAMAGED SECONDS [SKIPPED]").
inline constexpr const char* kProgressLine = "progress";
inline constexpr const char* kResultLine = "result";

/// Runs the jobs, `parallel` at a time, in the order given; returns when all have ended. The
/// progress bar (on a terminal) is labelled `label`.
void RunBatch(std::vector<BatchJob>& jobs, int parallel, const std::string& program,
              const std::string& label = "converting");

/// Prints the table of a finished batch on stdout; returns the number of failed files.
int PrintBatchTable(const std::vector<BatchJob>& jobs, double seconds);

} // namespace vexar::cli
