// The fuzz targets' common frame. A target is one source file:
//
//   #include "fuzz/fuzz_target.h"
//   KIVO_FUZZ_TARGET(jpeg) {          // data, size: the input
//     ... feed the bytes to the parser, fuzz::Check what must hold ...
//   }
//
// In the fuzzing build (build/fuzz) each target becomes its own libFuzzer
// program; in the native build the same entry functions are registered by
// name, and the unit tests run the kept regression inputs
// (tests/fuzz_regressions/<name>/) and the starting inputs through them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fuzz {

using Entry = void (*)(const std::uint8_t* data, std::size_t size);

// Every target of this program by name (one in a fuzzer, all in the tests).
std::map<std::string, Entry>& Targets();
struct Registration {
  Registration(const char* name, Entry entry) { Targets()[name] = entry; }
};

// A property that must hold for every input. A failure prints what and
// aborts, which the fuzzer reports as a crash with the input kept; the unit
// tests install a handler that records a test failure, after which the input
// ends with a FailedProperty exception.
using FailureHandler = void (*)(const char* what);
struct FailedProperty {
  std::string what;
};
void SetFailureHandler(FailureHandler handler);
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool holds, const std::string& what) {
  if (!holds) Fail(what);
}

// Reads a structured input piece by piece; past the end it gives zeros and
// empty texts, so that every input means something.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool AtEnd() const { return pos_ >= size_; }
  // Up to the next '\n' (not included) or the end.
  std::string Line();
  // Everything not read yet.
  std::string Rest();

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Lines "<section>\<ident>=<value>" become stored values of the application
// key (REG_SZ with its terminating NUL). A line starting with "#" stores the
// value's bytes as they are, with the type in the next byte's low three bits
// (0 REG_NONE, 1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_BINARY, 4 REG_DWORD, 7
// REG_MULTI_SZ …). Other lines are ignored. Needs the simulated platform.
void StoreValues(const std::string& text);

}  // namespace fuzz

#ifdef KIVO_FUZZ_MAIN
#define KIVO_FUZZ_DRIVER(name)                                                          \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
    FuzzOne_##name(data, size);                                                         \
    return 0;                                                                           \
  }
#else
#define KIVO_FUZZ_DRIVER(name)
#endif

#define KIVO_FUZZ_TARGET(name)                                                      \
  static void FuzzOne_##name(const std::uint8_t* data, std::size_t size);          \
  static const ::fuzz::Registration kFuzzRegistration_##name(#name, FuzzOne_##name); \
  KIVO_FUZZ_DRIVER(name)                                                            \
  static void FuzzOne_##name(const std::uint8_t* data, std::size_t size)
