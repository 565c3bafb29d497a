// The size of the marker records the tests, the benchmark and the fuzzer build as a host would:
// longer than the plug-in's fields (host_marker::kMinimumBytes), so that a write past them shows.
#pragma once

#include <cstddef>

namespace wave_test {
constexpr std::size_t kMarkerRecordBytes = 0x140;
}
