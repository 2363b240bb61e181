// The handle owners: each handle closed exactly once, by whoever owns it last.
#include "win32/handles.h"

#include <gtest/gtest.h>

#include <vector>

namespace lark {
namespace {

// Handles are numbers here; "none" is -1, and every close is recorded.
std::vector<int> closed;
struct CountedTraits {
  using Handle = int;
  static int invalid() { return -1; }
  static void close(int handle) { closed.push_back(handle); }
};
using Owner = UniqueHandle<CountedTraits>;

TEST(UniqueHandle, ClosesEachHandleOnceWhereverItsOwnershipGoes) {
  closed.clear();
  {
    Owner none;
    EXPECT_FALSE(none);
    Owner first(1);
    EXPECT_TRUE(first);
    Owner moved(std::move(first));
    EXPECT_FALSE(first) << "a moved-from owner holds nothing";
    Owner assigned(2);
    assigned = std::move(moved);  // 2 is closed, 1 changes hands
    EXPECT_EQ(1, assigned.get());
    assigned.reset(3);  // 1 is closed
    *assigned.put() = 4;  // 3 is closed first; 4 arrives through the pointer
    EXPECT_EQ(5, Owner(5).release()) << "a released handle is not closed";
  }  // 4 is closed with its owner
  EXPECT_EQ((std::vector<int>{2, 1, 3, 4}), closed);
}

// A COM object that counts its references.
struct Counted : IUnknown {
  ULONG references = 1;
  STDMETHODIMP QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
};

TEST(ComPtr, ReleasesItsReferenceOnceAndBeforeTakingAnother) {
  Counted a, b;
  {
    ComPtr<IUnknown> pointer;
    *pointer.put() = &a;
    EXPECT_EQ(&a, pointer.get());
    *pointer.put() = &b;  // a's reference is given back first
    EXPECT_EQ(0u, a.references);
    ComPtr<IUnknown> moved(std::move(pointer));
    EXPECT_FALSE(pointer);
    EXPECT_EQ(1u, b.references) << "moving takes no reference";
  }
  EXPECT_EQ(0u, b.references);
}

}  // namespace
}  // namespace lark
