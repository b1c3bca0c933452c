#include "error.hpp"

#include <cerrno>

#include <gtest/gtest.h>

using namespace smi;

TEST(SmiError, RendersEachKind) {
    EXPECT_EQ(to_string(SmiError::unknown_arch(3)), "unknown architecture: device_id=0x0003");
    EXPECT_EQ(to_string(SmiError::unknown_arch(0x1234)), "unknown architecture: device_id=0x1234");
    EXPECT_EQ(to_string(SmiError::parse("invalid BDF: 'xyz'")), "parse error: invalid BDF: 'xyz'");
    EXPECT_EQ(to_string(SmiError::io_error("/sys/bus/pci/devices", ENOENT)),
              "io error: No such file or directory (os error 2) (/sys/bus/pci/devices)");
    EXPECT_EQ(to_string(SmiError::io_error("/x", "no hwmon directory found")), "io error: no hwmon directory found (/x)");
    EXPECT_EQ(to_string(SmiError::device_not_available("0000:5e:00.0")), "device not available: 0000:5e:00.0");
    EXPECT_EQ(to_string(SmiError::device_not_found("PCI device 0000:5e:00.0 not found")),
              "device not found: PCI device 0000:5e:00.0 not found");
    EXPECT_EQ(to_string(SmiError::unexpected_value("fusion group")), "unexpected value: fusion group");
}

TEST(SmiError, IoPathIsRenderedLossily) {
    EXPECT_EQ(to_string(SmiError::io_error("/dev/npu\xff", EACCES)),
              "io error: Permission denied (os error 13) (/dev/npu\xef\xbf\xbd)");
}

static Result<int> half(int n) {
    if (n % 2) return std::unexpected(SmiError::parse("odd"));
    return n / 2;
}

static Result<int> quarter(int n) { return TRY(half(TRY(half(n)))); }

static Result<void> check(bool ok) {
    if (!ok) return std::unexpected(SmiError::parse("no"));
    return {};
}

static Result<int> checked(bool ok) {
    TRY(check(ok));
    return 1;
}

TEST(Try, ReturnsTheFirstErrorOrYieldsTheValue) {
    EXPECT_EQ(quarter(8), 2);
    EXPECT_EQ(to_string(quarter(6).error()), "parse error: odd");
    EXPECT_EQ(checked(true), 1);
    EXPECT_FALSE(checked(false));
}
