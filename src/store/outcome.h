#pragma once

namespace kbcfg::store {

// What a presenter operation came to: Done when it did its work, Refused when a check (or a
// failed save) stopped it; the message shown says why.
enum class Outcome { Done, Refused };

}  // namespace kbcfg::store
