// The platform's contract (platform/contract/contract_rows.h) on the simulated
// machine: every row on a fresh machine of each Windows version. The same
// rows run on the real calls under Wine in e2e/contract_e2e_test.cpp.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include "platform/contract/contract_rows.h"
#include "platform/sim/sim_platform.h"

namespace {

using platform::SimPlatform;

struct Version {
  const char* name;
  const char* release;  // as SimPlatform::UseRelease names it
};

const Version kVersions[] = {
    {"Win95", "95"}, {"Win98", "98"}, {"NT4", "NT4"}, {"Win2000", "2000"}, {"XP", "XP"}, {"Win10", "10"},
};

// A simulated machine as that release of Windows is (what it has and
// lacks), with more memory than the old calls can tell.
std::unique_ptr<SimPlatform> MachineOf(const std::string& release) {
  auto sim = std::make_unique<SimPlatform>();
  sim->UseRelease(release);
  sim->totalPhys = 3ull << 30;
  sim->volumes.insert("C:\\");
  return sim;
}

class Contract : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(Contract, RowHoldsOnTheSimulatedMachine) {
  const Version& version = kVersions[std::get<0>(GetParam())];
  const platform::contract::Row& row = platform::contract::Rows()[std::get<1>(GetParam())];
  auto sim = MachineOf(version.release);
  SimPlatform* machine = sim.get();
  platform::Install(std::move(sim));  // SaveFile and the key holders use the installed one
  platform::contract::Scratch scratch;
  scratch.folder = "C:\\Temp\\kivo_contract";
  scratch.key = "Software\\Kivo_Project\\Contract";
  scratch.tag = "native";
  scratch.makeProgram = [machine](const std::string& path) {
    machine->programs.insert(path);
    machine->fileContents[path] = "MZ";
    return true;
  };
  for (const std::string& failure : platform::contract::RunRow(row, *machine, scratch).failures)
    ADD_FAILURE() << version.name << ", " << row.name << ": " << failure;
  EXPECT_EQ(machine->OpenKeyCount(), 0u) << "registry keys left open";
  EXPECT_TRUE(machine->openHandles.empty()) << "process handles left open";
  platform::Uninstall();
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersion, Contract,
    ::testing::Combine(::testing::Range<size_t>(0, std::size(kVersions)),
                       ::testing::Range<size_t>(0, platform::contract::Rows().size())),
    [](const ::testing::TestParamInfo<std::tuple<size_t, size_t>>& info) {
      return std::string(kVersions[std::get<0>(info.param)].name) + "_" +
             platform::contract::Rows()[std::get<1>(info.param)].name;
    });

// The rows themselves catch a machine that drifts: a simulated machine that
// replaced with MoveFile, or answered MoveFileEx on the 95 family, fails them.
TEST(ContractRows, FailOnAMachineThatDrifts) {
  struct Drifting : SimPlatform {
    bool MoveFile(const std::string& from, const std::string& to) override {
      return SimPlatform::MoveFileEx(from, to, platform::kMoveFileReplaceExisting);
    }
  };
  auto find = [](const std::string& name) {
    for (const auto& row : platform::contract::Rows())
      if (row.name == name) return row;
    ADD_FAILURE() << "no row " << name;
    return platform::contract::Rows().front();
  };
  platform::contract::Scratch scratch;
  scratch.folder = "C:\\Temp";
  Drifting replacing;
  EXPECT_FALSE(
      platform::contract::RunRow(find("MoveFileRefusesAnExistingName"), replacing, scratch)
          .failures.empty());

  // The row reads the version from the machine: one reporting the 95
  // family while it replaces with MoveFileEx fails it, unless the run is
  // Wine's, whose MoveFileEx works whatever version it reports.
  platform::contract::Row row = find("MoveFileExReplacesOnlyWhenAsked");
  struct Reporting95 : SimPlatform {
    platform::OsVersion GetVersionEx() override {
      return platform::OsVersion{4, 10, 1998, platform::kPlatformWindows};
    }
  };
  Reporting95 reporting;
  reporting.version = platform::OsVersion{5, 1, 2600, platform::kPlatformNT};
  EXPECT_FALSE(platform::contract::RunRow(row, reporting, scratch).failures.empty());
  scratch.wine = true;
  const auto underWine = platform::contract::RunRow(row, reporting, scratch);
  EXPECT_TRUE(underWine.failures.empty()) << "Wine's MoveFileEx on win98 is its known difference";
  EXPECT_FALSE(underWine.wineDifferences.empty()) << "and is named as such";
}

}  // namespace
