#pragma once
// A $AULOG sentence as a recording carries it, for the tests and benchmarks of the parser: a fix
// at 2 deg 29.98' N, 99 deg 13.31' W, 35.4 m deep, heading 64.8 deg.

namespace vexar::test {

inline constexpr const char* kSampleNavigationSentence =
    "$AULOG,2;29.9805646N,N,99;13.3141814E,W,,-35.4,,64.8,-0.0,-1.1,0.6,,,0.0,230,0,9913,0.00,"
    "10/14/1999,**6B";

} // namespace vexar::test
