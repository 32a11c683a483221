// The window's run, offscreen: Start to Finish for the default inputs, and the
// longest stretch of work between two yields, which is how long the window can
// take to answer a click during a run (it should stay well under 50 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

#include "ui/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TimedWindow : fb::Form1 {
  Clock::duration longestWork{};
  Clock::time_point lastExit{};

  bool yield() override {
    const auto entry = Clock::now();
    if (lastExit != Clock::time_point{}) longestWork = std::max(longestWork, entry - lastExit);
    const bool go = Form1::yield();
    lastExit = Clock::now();
    return go;
  }
};

void BM_WindowDefaultRun(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("window.p-d").toStdString();
  TimedWindow window;
  window.setQuitRequest([] {});
  window.setDataFileChooser([&](std::string& dataFile) { dataFile = path; });
  window.show();
  window.findChild<QPushButton*>("Command2")->click();
  Clock::duration longest{};
  for (auto _ : state) {
    window.lastExit = {};
    window.longestWork = {};
    window.findChild<QPushButton*>("Command1")->click();
    if (window.lastRun().end != fb::RunEnd::finished) state.SkipWithError("the run did not finish");
    longest = std::max(longest, window.longestWork);
  }
  state.counters["longest work between yields (ms)"] = std::chrono::duration<double, std::milli>(longest).count();
}
BENCHMARK(BM_WindowDefaultRun)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::benchmark::Initialize(&argc, argv);
  ::benchmark::RunSpecifiedBenchmarks();
  ::benchmark::Shutdown();
  return 0;
}
