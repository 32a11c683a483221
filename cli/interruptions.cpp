#include "cli/interruptions.h"

#include <csignal>

namespace fb {
namespace {

std::atomic<bool> stopFlag{false};
std::atomic<int> signalNumber{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

extern "C" void onInterruption(int signal) {
  int none = 0;
  signalNumber.compare_exchange_strong(none, signal);
  stopFlag.store(true);
}

}  // namespace

void catchInterruptions() {
  struct sigaction action {};
  action.sa_handler = onInterruption;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // nohup and a shell's background jobs hand down "ignore" for a hang-up
    // and Ctrl-C: the run must then outlive them, as the user asked.
    struct sigaction inherited {};
    if (signal != SIGTERM && sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

const std::atomic<bool>& stopRequested() { return stopFlag; }

int caughtSignal() { return signalNumber.load(); }

}  // namespace fb
