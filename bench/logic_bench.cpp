// The whole uninstall, question to completion box, against the fake machine for
// long file lists: the logic's own cost, without Windows. Each run starts on a
// freshly installed machine, set up outside the timed part.
#include <benchmark/benchmark.h>

#include <string>

#include "app/exit_status.h"
#include "app/uninstaller.h"
#include "platform/fake/fake_machine.h"

namespace {

const std::string kInstallDir = "C:\\Program Files\\Bench\\Product";

std::string ListedFile(int index) {
    return kInstallDir + "\\file" + std::to_string(index) + ".dat";
}

void InstallProduct(int files) {
    fake::Reset();
    std::string list = "[UNINSTALL]\r\nPATH=" + kInstallDir + "\r\n[FILES]\r\n";
    for (int i = 0; i < files; ++i) {
        fake::AddFile(ListedFile(i));
        list += (i < 10 ? "FILE0" : "FILE") + std::to_string(i) + "=" + ListedFile(i) + "\r\n";
    }
    fake::AddFile("C:\\windows\\ZEVFList.ini", list);
}

// A run that did not take everything away measured something else.
bool EverythingGone(int files) {
    return !fake::FileExists(ListedFile(0)) && !fake::FileExists(ListedFile(files - 1)) &&
           !fake::DirectoryExists("C:\\Program Files") && !fake::FileExists("C:\\windows\\ZEVFList.ini") &&
           fake::CallsOf("DeleteFile").size() == static_cast<std::size_t>(files) + 2;
}

void UninstallRun(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        InstallProduct(files);
        state.ResumeTiming();

        const int status = UninstallerMain(nullptr);
        benchmark::DoNotOptimize(status);

        state.PauseTiming();
        if (status != kExitCompleted || !EverythingGone(files)) {
            state.SkipWithError("the run did not remove the product");
            break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * files);
}

BENCHMARK(UninstallRun)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
