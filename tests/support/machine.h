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

// Characters of code page 932 (Shift-JIS) whose second byte is also an ASCII
// character's: the backslash, the bar, a lower-case or an upper-case letter.
namespace sjis {
inline const std::string kSo = "\x83\x5C";       // katakana so, 83 5C
inline const std::string kHyo = "\x95\x5C";      // "table", 95 5C
inline const std::string kJuu = "\x8F\x5C";      // "ten", 8F 5C
inline const std::string kShin = "\x90\x5C";     // "say", 90 5C
inline const std::string kPo = "\x83\x7C";       // katakana po, 83 7C
inline const std::string kA = "\x83\x41";        // katakana a, 83 41 ("A")
inline const std::string kDi = "\x83\x61";        // katakana di, 83 61 ("a")
}  // namespace sjis

// Every test starts on a machine of its own.
class FakeMachineTest : public ::testing::Test {
protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { fake::Reset(); }  // nor leaves its code page or family to the next
};

}  // namespace testing_support
