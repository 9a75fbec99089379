// Helpers shared by the host tests: a fresh fake machine per test, and the file
// list and strings file written where the uninstaller looks for them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"

namespace testing_support {

inline void WriteFileList(const std::string& ini) {
    fake::AddFile("C:\\windows\\ZEVFList.ini", ini);
}

inline void WriteStringsFile(const std::string& ini) {
    fake::AddFile("C:\\windows\\ZEVUnins.ini", ini);
}

// Every test starts on a machine of its own.
class FakeMachineTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
};

}  // namespace testing_support
