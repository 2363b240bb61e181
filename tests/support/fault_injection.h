// Allocation failure on demand: once armed with n, the (n+1)-th allocation made on the
// arming thread by this program's operator new throws std::bad_alloc, and nothing
// after it fails.
// Linking tests/wine/failing_new.cpp is what routes operator new through here.
#pragma once

namespace lark::faults {

void arm(long allocationsBeforeFailure);
void disarm();
// True once the armed failure has been thrown.
bool fired();
// Allocations counted since the last arm.
long counted();
// Asked by operator new: should this allocation fail?
bool failNow();

// Test machinery (a modal catcher, an assertion) allocates freely between pause() and
// resume(), or while a Pause lives.
void pause();
void resume();
class Pause {
 public:
  Pause();
  ~Pause();
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;
};

}  // namespace lark::faults
