// Exports of either 32-bit Windows convention, called the one way the launcher calls them.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/library_call.h"

namespace fwlaunch::platform {
namespace {

// Mixes the arguments so that a shifted or lost one shows in the result.
std::int32_t Mix(const std::uint8_t* context, const char* name, std::int32_t offset,
                 std::int32_t capacity, const std::uint8_t* transfer, std::int32_t mode) {
  return static_cast<std::int32_t>(context[0] + name[0] * 3 + offset * 5 + capacity * 7 +
                                   transfer[0] * 11 + mode * 13);
}

// Six arguments, as Py_ReadFileInFW takes: the callee pops 24 bytes under stdcall, none under
// cdecl.
extern "C" __attribute__((noinline, cdecl)) std::int32_t CdeclSix(
    std::uint8_t* context, const char* name, std::int32_t offset, std::int32_t capacity,
    std::uint8_t* transfer, std::int32_t mode) {
  return Mix(context, name, offset, capacity, transfer, mode);
}

extern "C" __attribute__((noinline, stdcall)) std::int32_t StdcallSix(
    std::uint8_t* context, const char* name, std::int32_t offset, std::int32_t capacity,
    std::uint8_t* transfer, std::int32_t mode) {
  return Mix(context, name, offset, capacity, transfer, mode);
}

extern "C" __attribute__((noinline, stdcall)) std::int32_t StdcallThree(const char* a,
                                                                        const char* b, char* c) {
  c[0] = static_cast<char>(a[0] + b[0]);
  return 3;
}

// How the launcher holds every export: typed as the interface declares it, cdecl, whatever
// the library was built with.
using AsDeclaredSix = std::int32_t(__attribute__((cdecl)) *)(std::uint8_t*, const char*,
                                                             std::int32_t, std::int32_t,
                                                             std::uint8_t*, std::int32_t);
using AsDeclaredThree = std::int32_t(__attribute__((cdecl)) *)(const char*, const char*, char*);

TEST(CallAnyConvention, BothConventionsGiveTheirResultAndLeaveTheStackAsItWas) {
  auto cdecl_six = reinterpret_cast<AsDeclaredSix>(&CdeclSix);
  auto stdcall_six = reinterpret_cast<AsDeclaredSix>(&StdcallSix);
  auto stdcall_three = reinterpret_cast<AsDeclaredThree>(&StdcallThree);
  std::uint8_t context[4] = {2}, transfer[4] = {17};
  const char* name = "a";
  std::int32_t expected = 2 + 'a' * 3 + 19 * 5 + 0xA00000 * 7 + 17 * 11 + 1 * 13;
  volatile std::int32_t sentinel = 0x5EC7E7;  // a local the caller's frame must keep
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(CallExport(cdecl_six, context, name, 19, 0xA00000, transfer, 1), expected);
    ASSERT_EQ(CallExport(stdcall_six, context, name, 19, 0xA00000, transfer, 1), expected);
    char out[2] = {};
    ASSERT_EQ(CallExport(stdcall_three, "\x01", "\x02", out), 3);
    ASSERT_EQ(out[0], 3);
  }
  EXPECT_EQ(sentinel, 0x5EC7E7);
}

}  // namespace
}  // namespace fwlaunch::platform
