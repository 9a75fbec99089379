// Puts a machine into a known state for the platform suite, and reads it back
// without going through the code under test. One side writes into the fake
// machine, the other into the real Windows (under Wine) with Windows' own calls.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// The system's ANSI code page: GetACP() on Windows; on the fake the one asked
// for with ZEV_CODE_PAGE (1252 when not), which FreshScratch gives the machine.
unsigned ActiveCodePage();

// Called before each test: an empty scratch directory, no scratch profile files,
// no scratch registry keys and printers. Returns the scratch directory's absolute
// path (for example C:\zevtest), without a trailing backslash.
std::string FreshScratch();
// Called after each test: removes what FreshScratch and the test made.
void CleanScratch();

void MakeDir(const std::string& path);
void MakeFile(const std::string& path, const std::string& content);
// The process's current directory, until CleanScratch.
void ChangeDirectory(const std::string& path);
bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
void SetReadOnly(const std::string& path);
// Held open by another party without sharing until CleanScratch.
void HoldOpen(const std::string& path);
// A program made at `path` and loaded as a module until CleanScratch, as a
// running program or a loaded DLL is.
void MakeLoadedImage(const std::string& path);

// Another process holds the named mutex `name` (session-wide where Windows has
// sessions) until AbandonProgramLock, which ends the holder without releasing it.
void HoldProgramLock(const std::string& name);
void AbandonProgramLock();

// Profile files in the Windows directory, by bare name.
void WriteWindowsFile(const std::string& name, const std::string& content);
void RemoveWindowsFile(const std::string& name);
std::string ReadWindowsFile(const std::string& name);  // its bytes; empty when missing

// Registry, under HKEY_LOCAL_MACHINE.
void RegCreate(const std::string& path);
void RegSetDword(const std::string& path, const std::string& name, uint32_t value);
void RegSetString(const std::string& path, const std::string& name, const std::string& value);
void RegSetBinary(const std::string& path, const std::string& name, const std::string& data);
void RegDeleteTree(const std::string& path);
bool RegKeyExists(const std::string& path);
bool RegValueExists(const std::string& path, const std::string& name);
std::string RegReadData(const std::string& path, const std::string& name);  // whole; empty when missing

// Printers, kept as the spooler keeps them in the registry.
void AddPrinter(const std::string& name, const std::string& port, const std::string& comment);
std::string PrinterPort(const std::string& name);        // as the registry now holds it
std::string PrinterComment(const std::string& name);
void RemovePrinter(const std::string& name);

}  // namespace setup
