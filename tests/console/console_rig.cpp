#include "tests/console/console_rig.h"

#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "console/control_ids.h"
#include "console/text.h"

namespace verdelo::test {

// ---- VirtualClock ---------------------------------------------------------

void VirtualClock::StartTimer(int id, std::uint32_t periodMs) {
  timers_[id] = Timer{periodMs, now_ + periodMs, ++generation_};
  ++starts_[id];
}

void VirtualClock::StopTimer(int id) { timers_.erase(id); }

void VirtualClock::Pause(std::uint32_t ms) {
  pacing_.push_back({now_, ms, 0});
  now_ += ms;
}

void VirtualClock::Beep(std::uint32_t hz, std::uint32_t ms) {
  pacing_.push_back({now_, ms, hz});
  now_ += ms;
}

void VirtualClock::Advance(std::int64_t ms) {
  const std::int64_t target = now_ + ms;
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (next == timers_.end() || it->second.due < next->second.due) next = it;
    if (next == timers_.end() || next->second.due > target) break;
    const int id = next->first;
    const std::int64_t due = next->second.due;
    const std::uint64_t generation = next->second.generation;
    now_ = std::max(now_, due);
    if (handler_) handler_(id);
    // A timer the handler neither stopped nor restarted runs on; a handler
    // that blocked past the next period gets one coalesced firing.
    auto again = timers_.find(id);
    if (again != timers_.end() && again->second.generation == generation)
      again->second.due = std::max(due + again->second.period, now_);
  }
  now_ = std::max(now_, target);
}

void VirtualClock::SetWallClockBase(int year, int month, int day, int hour, int minute,
                                    int second) {
  tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  baseEpoch_ = ::timegm(&t);
}

LocalTime VirtualClock::Now() const {
  const time_t seconds = static_cast<time_t>(baseEpoch_ + now_ / 1000);
  tm t{};
  ::gmtime_r(&seconds, &t);
  return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                   t.tm_min,         t.tm_sec,     static_cast<int>(now_ % 1000)};
}

// ---- FakeControls ---------------------------------------------------------

namespace {

constexpr int kCheckBoxes[] = {
    IDC_ALARM_IF_NO_RESPONSE, IDC_AUTO_AFTER_MAN, IDC_MAN_AFTER_AUTO, IDC_AUTO_IF_OUT,
    IDC_DISABLE_VALUES_UPDATE, IDC_MEM_FILTER, IDC_MEM_TEST_READ, IDC_AUTO_TIMER,
    IDC_KEYBOARD, IDC_LEFT_RIGHT, IDC_AUTO_VMIN, IDC_DISABLE_SQUARE_TIMER, IDC_MEM_ASCII,
    IDC_MEM_EVEN_ONLY, IDC_OR_IF_NO_POWER};

}  // namespace

FakeControls::FakeControls() {
  for (int id : {IDC_MEM_READ, IDC_MEM_WRITE, IDC_MENU_DEV, IDC_STOP_TO_ZERO_DEV})
    controls_[id].enabled = false;
  controls_[IDC_SCRIPT_STATE].text = "no script running";
  controls_[IDC_ROBOT_MODE].text = "Mode";
  controls_[IDC_ALARM_IF_NO_RESPONSE].text = "AlarmIfNoResponse";
  controls_[IDC_MIN_VOLTAGE].text = "min";
}

void FakeControls::SetText(int id, std::string_view text) {
  controls_[id].text.assign(text);
  ++controls_[id].textChanges;
}

std::string FakeControls::Text(int id) const { return controls_[id].text; }
bool FakeControls::IsChecked(int id) const { return controls_[id].checked; }
bool FakeControls::IsEnabled(int id) const { return controls_[id].enabled; }
int FakeControls::TextChanges(int id) const { return controls_[id].textChanges; }

bool FakeControls::IsCheckBox(int id) const {
  return std::find(std::begin(kCheckBoxes), std::end(kCheckBoxes), id) != std::end(kCheckBoxes);
}

// ---- FakeLink -------------------------------------------------------------

void FakeLink::Write(const std::uint8_t* data, std::uint32_t length) {
  writes_.push_back({clock_.now(), std::vector<std::uint8_t>(data, data + length)});
}

void FakeLink::LogTx(const std::uint8_t* data, std::uint32_t length) {
  logged_.emplace_back(data, data + length);
}

void FakeLink::Receive(const std::vector<std::uint8_t>& bytes) {
  if (!handler_) return;
  for (std::uint8_t b : bytes) handler_(b);
}

void FakeLink::ReceiveAnswer(std::uint16_t command, std::uint16_t value) {
  const MowerFrame frame = BuildAnswer(command, value);
  Receive(std::vector<std::uint8_t>(frame.begin(), frame.end()));
}

// ---- FakeWindowHost -------------------------------------------------------

void FakeWindowHost::ShowAboutModal() {
  ++aboutShown;
  order.push_back("about");
  if (onAbout) onAbout();
}

void FakeWindowHost::CreatePortWindow() {
  ++portWindowsCreated;
  order.push_back("port");
  if (onPortWindow) onPortWindow();
}

// ---- ConsoleRig -----------------------------------------------------------

namespace {

std::filesystem::path MakeTempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "verdelo-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

}  // namespace

ConsoleRig::ConsoleRig()
    : dir(MakeTempDir()),
      console(ConsoleHost{controls, clock, clock, launcher, link, clock, window, dir,
                          dir / "config.txt"}) {
  clock.SetTimerHandler([this](int id) { console.OnTimer(id); });
  clock.SetWallClockBase(2026, 3, 5, 9, 7, 3);
}

ConsoleRig::~ConsoleRig() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

void ConsoleRig::WriteConfig(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  WriteFile("config.txt", bytes);
}

void ConsoleRig::WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ConsoleRig::ReadFile(const std::string& name) const {
  std::ifstream in(dir / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ConsoleRig::FileExists(const std::string& name) const {
  return std::filesystem::exists(dir / name);
}

std::vector<std::string> ConsoleRig::LogLines() const {
  const std::string bytes = ReadFile(MowerConsole::kDataLogName);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  if (start != bytes.size()) lines.push_back("<unterminated>" + bytes.substr(start));
  return lines;
}

std::vector<std::string> ConsoleRig::LogTexts() const {
  std::vector<std::string> texts;
  for (const std::string& line : LogLines()) {
    std::size_t pos = 0;
    for (int i = 0; i < 13 && pos != std::string::npos; ++i) pos = line.find(';', pos + (i ? 1 : 0));
    texts.push_back(pos == std::string::npos ? line : line.substr(pos + 1));
  }
  return texts;
}

std::vector<std::string> ConsoleRig::SentHex() const {
  std::vector<std::string> out;
  for (const auto& sent : link.writes()) out.push_back(Hex(sent.bytes));
  return out;
}

void ConsoleRig::Click(int id) {
  if (controls.IsCheckBox(id)) controls.SetChecked(id, !controls.IsChecked(id));
  console.OnClicked(id);
}

void ConsoleRig::DoubleClick(int id) {
  console.OnClicked(id);
  console.OnDoubleClicked(id);
}

void ConsoleRig::Tick(int count) {
  for (int i = 0; i < count; ++i) {
    const std::int64_t due = clock.IsRunning(TIMER_POLL) ? clock.DueOf(TIMER_POLL) - clock.now()
                                                         : console.settings().pollPeriod;
    clock.Advance(std::max<std::int64_t>(due, 0));
  }
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += Format("%02X", unsigned(b));
  }
  return out;
}

std::string Hex(const MowerFrame& frame) {
  return Hex(std::vector<std::uint8_t>(frame.begin(), frame.end()));
}

std::string Req(std::uint16_t command, std::uint16_t value) {
  return Hex(BuildRequest(command, value));
}

}  // namespace verdelo::test
