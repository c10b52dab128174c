// A make run of the sample in the desktop window against the same run in
// the terminal front end: the window's pump must not cost the coders their
// speed. Both run on this thread with one encode thread; the window's
// figure leaves out the time its message boxes are on screen (the run has
// no other dialogs), which is a person reading, not work.
//
//   build/bench/window_bench --benchmark_repetitions=7
//
// Compare the two real_time figures (wall-clock time of the run's work) and
// the work_cpu counters (processor time of the process for the same span).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QTest>
#include <chrono>
#include <ctime>

#include "app/frontends/terminal/terminal.h"
#include "qt_window_driver.h"

namespace {

struct Times {
  double wall = 0, cpu = 0;
  static Times Now() {
    timespec cpu;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return {
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
        cpu.tv_sec + cpu.tv_nsec * 1e-9};
  }
  Times operator-(const Times& o) const { return {wall - o.wall, cpu - o.cpu}; }
  Times& operator+=(const Times& o) {
    wall += o.wall, cpu += o.cpu;
    return *this;
  }
};

// Passes everything on and adds up the time spent in message boxes.
class DialogClock : public FrontEnd {
 public:
  explicit DialogClock(FrontEnd& inner) : inner_(inner) {}
  Times spent;
  int MessageDialog(const std::string& text, const std::string& caption, unsigned style) override {
    const Times t0 = Times::Now();
    const int answer = inner_.MessageDialog(text, caption, style);
    spent += Times::Now() - t0;
    return answer;
  }
  int OverwriteDialog(const std::string& path) override { return inner_.OverwriteDialog(path); }
  int RetryDialog(const std::string& path, const std::string& reason) override {
    return inner_.RetryDialog(path, reason);
  }
  int Pump() override { return inner_.Pump(); }
  void SetControlText(int id, const std::string& text) override { inner_.SetControlText(id, text); }
  std::string GetControlText(int id) override { return inner_.GetControlText(id); }
  void EnableControl(int id, bool enabled) override { inner_.EnableControl(id, enabled); }
  void SetProgressBar(int position) override { inner_.SetProgressBar(position); }
  void DestroyWindow() override { inner_.DestroyWindow(); }

 private:
  FrontEnd& inner_;
};

// The tests' window session (sample, module, folders of its own), opened
// once for every run.
class Session : public WindowTest {
 public:
  void TestBody() override {}
  bool Open() {
    SetUp();
    return fe != nullptr;
  }
  void Close() { TearDown(); }
  fs::path Folder() const { return dir.path; }

  Times TerminalRun(const fs::path& dest) {
    Rig terminalRig;
    fs::current_path(work);
    const fs::path input = dir.path / "answers";
    WriteFileBytes(input, "dest " + dest.string() + "\nrun\nok\nok\nok\n");
    std::fflush(stdout);
    const int savedIn = dup(0), savedOut = dup(1);
    const int in = open(input.c_str(), O_RDONLY), out = open("/dev/null", O_WRONLY);
    dup2(in, 0), dup2(out, 1), close(in), close(out);
    const Times t0 = Times::Now();
    const int status = RunTerminal(terminalRig.window, work.string());
    const Times took = Times::Now() - t0;
    std::fflush(stdout);
    dup2(savedIn, 0), dup2(savedOut, 1), close(savedIn), close(savedOut);
    return status == 0 ? took : Times{-1, -1};
  }

  Times WindowRun(const fs::path& dest) {
    Times work_{-1, -1};
    ModalAnswerer answerer([](QWidget* modal, const SeenDialog&) { PressOk(modal); });
    const int status = RunWindow(work, work.string(), [&] {
      TypeDestination(dest);
      DialogClock clock(rig->ui.frontEnd());
      rig->ui.Attach(&clock);
      QTest::qWait(30);  // Run is pressed in a window already drawn
      const Times t0 = Times::Now();
      Press(Control<QPushButton>(MainWindowWidget(), kIdOk));  // the whole run
      const Times took = Times::Now() - t0;
      rig->ui.Attach(fe.get());
      work_ = took - clock.spent;
    });
    return status == 0 ? work_ : Times{-1, -1};
  }
};

Session* session = nullptr;
int runNumber = 0;

template <bool kWindow>
void BM_MakeRunOfTheSample(benchmark::State& state) {
  double cpu = 0;
  for (auto _ : state) {
    const fs::path dest = session->Folder() / ("set" + std::to_string(runNumber++));
    const Times t = kWindow ? session->WindowRun(dest) : session->TerminalRun(dest);
    if (t.wall < 0) {
      state.SkipWithError("the make run failed");
      break;
    }
    fs::remove_all(dest);
    state.SetIterationTime(t.wall);
    cpu += t.cpu;
  }
  state.counters["work_cpu"] =
      benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);  // seconds per run
}
BENCHMARK_TEMPLATE(BM_MakeRunOfTheSample, false)
    ->Name("MakeRunOfTheSample/terminal")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_TEMPLATE(BM_MakeRunOfTheSample, true)
    ->Name("MakeRunOfTheSample/window")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Session s;
  if (!s.Open()) return 1;
  session = &s;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  s.Close();
  return 0;
}
