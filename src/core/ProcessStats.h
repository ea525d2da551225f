#pragma once

namespace kr90x {

// The process's peak resident memory so far, in KiB; -1 where the system cannot tell.
long long peakResidentKib();

} // namespace kr90x
