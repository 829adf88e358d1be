// Memory services of the platform layer.
#pragma once

#include <cstddef>

namespace platform {

// A large block of memory, in whole 2 MiB pages where the system offers them: filling a table
// of 100,000 rows then costs a few dozen page faults instead of thousands. Throws
// std::bad_alloc when there is none. Given back with freeLargeBlock.
void* allocateLargeBlock(std::size_t bytes);
void freeLargeBlock(void* block);

}  // namespace platform
