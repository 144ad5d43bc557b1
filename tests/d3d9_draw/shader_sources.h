// Vertex shader sources that assemble, for the assembler's tests and the fuzzer's seeds.
#pragma once

#include <string>
#include <vector>

namespace drawtest {

// Every other instruction, register and modifier of vs_1_1, and of vs_2_0.
extern const char* const kVs11Encodings;
extern const char* const kVs20Encodings;
// Two subroutines, each ended by its ret, one called.
extern const char* const kSubroutines;
// A subroutine calling another and returning from inside an if: oD0 = (1, 0.5, 0.5, 1).
extern const char* const kNestedCalls;
// The main program returning from inside a rep: oD0 = (0.25, 0.5, 0.75, 1).
extern const char* const kEarlyReturn;

// A shader: position passed through, oD0 = r0 after `body`, as Colour builds it.
std::string Wrap(int major, const std::string& body);
// The whole source of the case `name` of Vs11Cases (major 1) or Vs20Cases (major 2).
std::string CaseSource(int major, const std::string& name);
// All of the above and every case's source.
std::vector<std::string> ValidSources();

}  // namespace drawtest
