#pragma once
// Adding one channel entry transcribed step by step: a scan for the first empty position, then
// for every candidate index a scan of the whole table. The reference for the run's allocator in
// tests and benchmarks.

#include <cstdint>

#include "store/config_image.h"
#include "users/channel_allocator.h"

namespace kbcfg::testing {

// The position written, or -1 when the operator's table is full.
int literalAddChannel(store::ConfigImage& image, int op, const users::NewChannel& entry,
                      users::ChannelIndexCounter& counters);

}  // namespace kbcfg::testing
