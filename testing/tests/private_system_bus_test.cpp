// The private bus and the stand-ins on it, which the suite starts by the dozen: python3-dbusmock
// starts the bus detached, so each must be stopped in order when its owner goes.
#include "testing/private_system_bus.h"

#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "testing/timedated_mock.h"

namespace horalux::testing {
namespace {

TEST(PrivateSystemBus, StandInsAndTheBusGoWithTheirOwners) {
  std::optional<PrivateSystemBus> bus(std::in_place);
  // A stand-in still running would hold the name the next one takes.
  { TimedatedMock first(*bus); }
  EXPECT_NO_THROW(TimedatedMock second(*bus));

  const std::string directory = bus->directory();
  const std::string address = bus->address();  // unix:path=SOCKET,guid=...
  const auto path = address.find("path=") + 5;
  const std::string socket = address.substr(path, address.find(',', path) - path);
  ASSERT_TRUE(std::filesystem::exists(socket)) << address;
  bus.reset();
  // dbus-daemon removes its socket as it stops.
  EXPECT_FALSE(std::filesystem::exists(socket)) << "the bus still listens at " << address;
  EXPECT_FALSE(std::filesystem::exists(directory));
}

}  // namespace
}  // namespace horalux::testing
