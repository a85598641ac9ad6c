// The starting inputs of every target, made from the same kinds of pictures and
// stored values the unit tests use; written into build/fuzz/corpus/<target>
// by the corpus writer at build time and run by the unit tests too.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace fuzz {

// By target name. "dib" holds bitmap files (any bit depth, top-down and
// bottom-up, compressed) for a target over a bitmap decoder.
std::map<std::string, std::vector<std::string>> StartingInputs();

}  // namespace fuzz
