#pragma once

#include <mutex>

namespace platform {

// The lock behind the critical sections that guard shared task state. It is
// re-entrant because a handler that holds one may call another handler that takes
// the same section on the same thread. Use it with std::lock_guard or std::scoped_lock.
using ReentrantLock = std::recursive_mutex;

} // namespace platform
