#include "host/loading/signal_stack.h"

namespace tmhost {

SignalStack::SignalStack() = default;
SignalStack::~SignalStack() = default;
bool is_stack_overflow(const void*, const void*) { return false; }

}  // namespace tmhost
