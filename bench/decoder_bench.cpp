// Decoder throughput: a minute's worth of the answers a poll cycle gets back,
// fed byte by byte through the receive hook into MowerConsole::OnRxByte,
// against a plain loop over the same bytes. Global operator new is replaced
// by a counting one, so the steady state can be checked for allocations and
// every allocating call path named.
#include <benchmark/benchmark.h>
#include <cxxabi.h>

#include <charconv>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/text.h"
#include "tests/console/console_rig.h"
#include "tools/mower/virtual_mower.h"

// ---- counting allocator ---------------------------------------------------

namespace {

struct AllocationSite {
  void* frames[14];
  int depth = 0;
  long count = 0;
};

long g_allocations = 0;
bool g_counting = false;
bool g_tracing = false;
bool g_inTrace = false;
AllocationSite g_sites[16];
int g_siteCount = 0;

void RecordSite() {
  g_inTrace = true;
  void* frames[14];
  const int depth = backtrace(frames, 14);
  bool found = false;
  for (int i = 0; i < g_siteCount && !found; ++i) {
    AllocationSite& site = g_sites[i];
    if (site.depth != depth) continue;
    bool same = true;
    for (int f = 0; f < depth && same; ++f) same = site.frames[f] == frames[f];
    if (same) {
      ++site.count;
      found = true;
    }
  }
  if (!found && g_siteCount < 16) {
    AllocationSite& site = g_sites[g_siteCount++];
    for (int f = 0; f < depth; ++f) site.frames[f] = frames[f];
    site.depth = depth;
    site.count = 1;
  }
  g_inTrace = false;
}

void* CountedAllocate(std::size_t size, std::size_t alignment = 0) {
  if (g_counting) {
    ++g_allocations;
    if (g_tracing && !g_inTrace) RecordSite();
  }
  void* p = alignment > alignof(std::max_align_t)
                ? std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)
                : std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAllocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t a) { return CountedAllocate(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return CountedAllocate(size, static_cast<std::size_t>(a)); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  try {
    return CountedAllocate(size, static_cast<std::size_t>(a));
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t& tag) noexcept {
  return operator new(size, a, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace verdelo::bench {
namespace {

// ---- the answer stream ----------------------------------------------------

using Stream = std::vector<std::uint8_t>;

// The console polls a mowing mower for a minute (six cycles, so every value
// of the rotation comes once) and the virtual mower answers each request.
Stream PollMinuteOfAnswers(std::map<std::uint16_t, int>& mix) {
  test::ConsoleRig rig;
  rig.WriteConfig({"[NO_SPLASH_DIALOG]"});
  rig.Start();
  rig.link.ClearRecords();
  rig.Tick(60);
  mower::MowerOptions options;
  options.day.start_seconds_of_day = 10 * 3600;
  options.day.start_phase = mower::Phase::Cutting;
  options.day.start_charge = 0.8;
  mower::VirtualMower mower(options);
  Stream stream;
  for (const auto& sent : rig.link.writes()) {
    mower.Receive(sent.bytes, sent.at);
    for (const auto& out : mower.TakeDue(sent.at)) stream.insert(stream.end(), out.bytes.begin(), out.bytes.end());
  }
  for (std::size_t at = 0; at + 5 <= stream.size(); at += 5)
    ++mix[RegisterOf(static_cast<std::uint16_t>(stream[at + 1] << 8 | stream[at + 2]))];
  return stream;
}

// Controls that keep each text in a string sized once, so setting a label
// costs a copy into it and nothing else: what is left allocating is the
// console's own doing.
class ReusingControls : public IControls {
 public:
  ReusingControls() : texts_(kIds), checked_(kIds, false) {
    for (auto& text : texts_) text.reserve(160);
  }
  void SetText(int id, std::string_view text) override { texts_.at(static_cast<std::size_t>(id)).assign(text); }
  std::string Text(int id) const override { return texts_.at(static_cast<std::size_t>(id)); }
  bool IsChecked(int id) const override { return checked_.at(static_cast<std::size_t>(id)); }
  void SetChecked(int id, bool checked) override { checked_.at(static_cast<std::size_t>(id)) = checked; }
  void SetEnabled(int, bool) override {}

 private:
  static constexpr std::size_t kIds = 2048;
  std::vector<std::string> texts_;
  std::vector<bool> checked_;
};

// A console on the rig's fakes, with ReusingControls in place of its
// FakeControls.
struct LeanConsole {
  LeanConsole() {
    dir = MakeTempDir("verdelo-bench");
    WriteFile(dir + "/config.txt", "[NO_SPLASH_DIALOG]\r\n");
    console = std::make_unique<MowerConsole>(ConsoleHost{controls, clock, clock, launcher, link, clock, window,
                                                         dir, std::filesystem::path(dir) / "config.txt"});
    console->OnInitDialog();
  }
  ~LeanConsole() {
    console.reset();
    RemoveTree(dir);
  }
  std::string dir;
  test::VirtualClock clock;
  ReusingControls controls;
  test::FakeLink link{clock};
  test::FakeLauncher launcher;
  test::FakeWindowHost window;
  std::unique_ptr<MowerConsole> console;
};

Stream g_stream;
std::unique_ptr<test::ConsoleRig> g_rig;
std::unique_ptr<LeanConsole> g_lean;

void BM_PlainLoop(benchmark::State& state) {
  for (auto _ : state)
    for (std::uint8_t byte : g_stream) benchmark::DoNotOptimize(byte);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_stream.size()));
}

void BM_ConsoleOnRigFakes(benchmark::State& state) {
  for (auto _ : state) g_rig->link.Receive(g_stream);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_stream.size()));
}

void BM_ConsoleOnReusingControls(benchmark::State& state) {
  for (auto _ : state) g_lean->link.Receive(g_stream);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * g_stream.size()));
}

// What a value label's text costs to make, the way the console makes it
// (ShortText::Number, std::to_chars underneath), and by vsnprintf.
void BM_LabelTextPrintf(benchmark::State& state) {
  int value = 21000;
  for (auto _ : state) {
    ShortText text("Voltage(mV) :%5d", value++ & 0x7FFF);
    benchmark::DoNotOptimize(text);
  }
}

void BM_LabelTextConsole(benchmark::State& state) {
  int value = 21000;
  for (auto _ : state) {
    ShortText text = ShortText::Number("Voltage(mV) :%5d", value++ & 0x7FFF);
    benchmark::DoNotOptimize(text);
  }
}

BENCHMARK(BM_LabelTextPrintf)->MinTime(0.2)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_LabelTextConsole)->MinTime(0.2)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlainLoop)->MinTime(0.2)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ConsoleOnRigFakes)->MinTime(0.2)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ConsoleOnReusingControls)->MinTime(0.2)->Repetitions(5)->ReportAggregatesOnly(true);

// Keeps the median CPU time per iteration of each benchmark.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        medianNs[run.run_name.function_name] = run.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> medianNs;
};

// ---- naming the allocating call paths -------------------------------------

std::string Demangle(const char* name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && out ? std::string(out.get()) : std::string(name);
}

// "function (file:line)" of a return address, by the dynamic symbol table and
// addr2line on the debug information.
std::string DescribeAddress(void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return "?";
  const auto pc = reinterpret_cast<std::uintptr_t>(address) - 1;
  char command[512];
  std::snprintf(command, sizeof command, "addr2line -f -C -i -e '%s' 0x%zx 2>/dev/null", info.dli_fname,
                static_cast<std::size_t>(pc - reinterpret_cast<std::uintptr_t>(info.dli_fbase)));
  std::string described;
  if (FILE* pipe = ::popen(command, "r")) {
    char line[1024];
    std::vector<std::string> lines;
    while (std::fgets(line, sizeof line, pipe)) {
      std::string text = line;
      while (!text.empty() && text.back() == '\n') text.pop_back();
      lines.push_back(text);
    }
    ::pclose(pipe);
    // Pairs of function and place, innermost inlined frame first.
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
      if (lines[i] == "??") continue;
      std::string place = lines[i + 1];
      const auto slash = place.find("/work/");
      if (place.rfind('/') != std::string::npos && slash == std::string::npos)
        place = place.substr(place.rfind('/') + 1);
      else if (slash != std::string::npos)
        place = place.substr(place.find('/', slash + 6) + 1);
      if (!described.empty()) described += " <- ";
      described += lines[i] + " (" + place + ")";
    }
  }
  if (described.empty() && info.dli_sname != nullptr) described = Demangle(info.dli_sname);
  return described.empty() ? "?" : described;
}

// Frames worth naming: the project's own code, not the standard library's
// allocation plumbing nor this program's loop.
bool IsOwnFrame(const std::string& text) {
  return text.rfind("verdelo::", 0) == 0 && text.find("verdelo::bench::") == std::string::npos;
}

struct AllocationCount {
  long allocations = 0;
  long frames = 0;
};

// Counts allocations over `passes` of the stream after a warm-up, and keeps
// their call paths.
AllocationCount CountAllocations(test::FakeLink& link, int passes) {
  for (int i = 0; i < 3; ++i) link.Receive(g_stream);
  g_siteCount = 0;
  g_allocations = 0;
  g_tracing = true;
  g_counting = true;
  for (int i = 0; i < passes; ++i) link.Receive(g_stream);
  g_counting = false;
  g_tracing = false;
  return {g_allocations, static_cast<long>(passes) * static_cast<long>(g_stream.size() / 5)};
}

// The project's frames of a call path, innermost first, as
// "function (file:line)".
std::vector<std::string> OwnFrames(const AllocationSite& site) {
  std::vector<std::string> own;
  for (int f = 1; f < site.depth; ++f) {
    const std::string frames = DescribeAddress(site.frames[f]);
    // addr2line lists inlined frames joined by " <- ".
    for (std::size_t from = 0; from < frames.size();) {
      const std::size_t to = std::min(frames.find(" <- ", from), frames.size());
      std::string frame = frames.substr(from, to - from);
      from = to + 4;
      if (!IsOwnFrame(frame)) continue;
      const auto args = frame.find('(');
      const auto place = frame.rfind(" (");
      if (args != std::string::npos && place != std::string::npos && args < place)
        frame = frame.substr(0, args) + frame.substr(place);
      own.push_back(frame);
    }
  }
  return own;
}

std::string WithoutNamespace(std::string frame) {
  if (frame.rfind("verdelo::", 0) == 0) frame.erase(0, 9);
  return frame;
}

// One note per place in the project's code that allocates, with the places
// it was called from: "f (file:line) <- g (file:line) at lines 10 (2x), ..".
void NoteSites(const std::string& what, long passes) {
  struct Place {
    long count = 0;
    std::map<std::string, std::map<std::string, long>> callers;  // caller -> its caller -> count
  };
  std::map<std::string, Place> places;
  for (int i = 0; i < g_siteCount; ++i) {
    const std::vector<std::string> own = OwnFrames(g_sites[i]);
    Place& place = places[own.empty() ? std::string("outside the project's code") : WithoutNamespace(own[0])];
    place.count += g_sites[i].count;
    if (own.size() > 1) place.callers[WithoutNamespace(own[1])][own.size() > 2 ? WithoutNamespace(own[2]) : ""] += g_sites[i].count;
  }
  const auto perPass = [passes](long count) { return Fixed(static_cast<double>(count) / static_cast<double>(passes), 0); };
  for (const auto& [where, place] : places) {
    std::string callers;
    for (const auto& [caller, outer] : place.callers) {
      callers += (callers.empty() ? ", called from " : "; ") + caller;
      // Grouped by function: "g (file) lines 10 2x, 12 1x".
      std::map<std::string, std::map<int, long>> byFunction;
      for (const auto& [frame, count] : outer) {
        const auto open = frame.find(" (");
        const auto colon = frame.rfind(':');
        if (open == std::string::npos || colon == std::string::npos || colon < open) {
          byFunction[frame][0] += count;
          continue;
        }
        byFunction[frame.substr(0, colon) + ")"][std::atoi(frame.c_str() + colon + 1)] += count;
      }
      std::string lines;
      for (const auto& [function, counts] : byFunction) {
        lines += (lines.empty() ? " <- " : "; ") + function + " lines";
        for (const auto& [line, count] : counts) {
          lines += ' ';
          lines += std::to_string(line);
          lines += ' ';
          lines += perPass(count);
          lines += 'x';
        }
      }
      callers += lines;
    }
    PrintNote(what + ": " + perPass(place.count) + " allocations per pass at " + where + callers);
  }
}

// Label texts set per pass of the stream.
long CountLabelSets(test::FakeControls& before, const std::vector<int>& ids) {
  long total = 0;
  for (int id : ids) total += before.TextChanges(id);
  return total;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  {
    void* warm[4];
    backtrace(warm, 4);  // loads the unwinder now, not inside a counted allocation
  }
  std::map<std::uint16_t, int> mix;
  g_stream = PollMinuteOfAnswers(mix);
  g_rig = std::make_unique<verdelo::test::ConsoleRig>();
  g_rig->WriteConfig({"[NO_SPLASH_DIALOG]"});
  g_rig->Start();
  g_lean = std::make_unique<LeanConsole>();

  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double bytes = static_cast<double>(g_stream.size());
  const double plain = reporter.medianNs["BM_PlainLoop"] / bytes;
  const double rig = reporter.medianNs["BM_ConsoleOnRigFakes"] / bytes;
  const double lean = reporter.medianNs["BM_ConsoleOnReusingControls"] / bytes;

  std::string mixText;
  for (const auto& [reg, count] : mix) mixText += (mixText.empty() ? "" : ", ") + std::to_string(reg) + "x" + std::to_string(count);
  PrintNote("decoder stream: " + std::to_string(g_stream.size() / 5) +
            " answer frames of a minute's polling of a mowing mower (register x frames): " + mixText);

  // How many label texts one pass sets, and what their formatting costs.
  std::vector<int> labelIds;
  for (int id = 1000; id < 1200; ++id) labelIds.push_back(id);
  const long setsBefore = CountLabelSets(g_rig->controls, labelIds);
  g_rig->link.Receive(g_stream);
  const long labelSets = CountLabelSets(g_rig->controls, labelIds) - setsBefore;
  const double printfNs = reporter.medianNs["BM_LabelTextPrintf"];
  const double consoleNs = reporter.medianNs["BM_LabelTextConsole"];
  const double formatShare = static_cast<double>(labelSets) * consoleNs / bytes;
  PrintNote("decoder cost: one pass of " + std::to_string(g_stream.size()) + " bytes sets " +
            std::to_string(labelSets) + " label texts; one label text the console's way (ShortText::Number, "
            "console/text.cpp) takes " + Fixed(consoleNs, 1) + " ns, by vsnprintf " + Fixed(printfNs, 1) +
            " ns; so formatting is " + Fixed(formatShare, 2) + " of the " + Fixed(lean, 2) + " ns/B");

  const AllocationCount onRig = CountAllocations(g_rig->link, 1000);
  NoteSites("decoder, ConsoleRig fakes", 1000);
  const AllocationCount onLean = CountAllocations(g_lean->link, 1000);
  NoteSites("decoder, console alone", 1000);

  if (!(plain > 0 && rig > 0 && lean > 0)) return 0;  // a filtered run
  const auto perByte = [](double ns) { return Fixed(ns, 2) + " ns/B (" + Fixed(1000.0 / ns, 0) + " MB/s)"; };
  PrintRow("1 decoder, ConsoleRig fakes", perByte(rig), perByte(plain) + " plain loop", Ratio(rig, plain),
           "<= 10 ns/B", Met(rig <= 10));
  PrintRow("1 decoder, console alone", perByte(lean), perByte(plain) + " plain loop", Ratio(lean, plain),
           "<= 10 ns/B", Met(lean <= 10));
  const double rigPerFrame = static_cast<double>(onRig.allocations) / static_cast<double>(onRig.frames);
  const double leanPerFrame = static_cast<double>(onLean.allocations) / static_cast<double>(onLean.frames);
  PrintRow("1 allocations/frame, ConsoleRig fakes", Fixed(rigPerFrame, 3), "0 plain loop", "-", "0",
           Met(onRig.allocations == 0));
  PrintRow("1 allocations/frame, console alone", Fixed(leanPerFrame, 3), "0 plain loop", "-", "0",
           Met(onLean.allocations == 0));
  return 0;
}
