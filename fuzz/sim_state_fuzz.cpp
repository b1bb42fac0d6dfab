// Arbitrary bytes as the simulated mouse's state file: refused cleanly or read, and what is
// read writes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "sim/sim_state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string why;
  const auto state = z900::sim::ParseState(std::span<const std::uint8_t>(data, size), why);
  if (state) {
    const std::vector<std::uint8_t> again = z900::sim::SerializeState(*state);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
  }
  return 0;
}
