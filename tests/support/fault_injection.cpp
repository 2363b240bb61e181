#include "tests/support/fault_injection.h"

#include <atomic>

namespace lark::faults {
namespace {

std::atomic<long> remaining{-1};
std::atomic<long> seen{0};
std::atomic<bool> thrown{false};
thread_local int pauses = 0;
// Only the thread that armed the failure fails: a background thread's allocations would
// otherwise make the count differ from run to run.
thread_local bool armedHere = false;

}  // namespace

void arm(long allocationsBeforeFailure) {
  armedHere = true;
  thrown = false;
  seen = 0;
  remaining = allocationsBeforeFailure;
}

void disarm() {
  remaining = -1;
  armedHere = false;
}

bool fired() { return thrown; }

long counted() { return seen; }

bool failNow() {
  if (!armedHere || pauses != 0 || remaining.load() < 0) return false;
  ++seen;
  if (remaining.fetch_sub(1) != 0) return false;
  thrown = true;
  return true;
}

void pause() { ++pauses; }
void resume() { --pauses; }
Pause::Pause() { pause(); }
Pause::~Pause() { resume(); }

}  // namespace lark::faults
