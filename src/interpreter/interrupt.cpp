#include "interpreter/interrupt.h"

namespace drevel {

volatile std::sig_atomic_t interrupt_requested = 0;

} // namespace drevel
