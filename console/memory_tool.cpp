// The memory tool: reads a range of the mower's registers into
// "Moro-mem.txt", or writes the registers listed there back, one request per
// poll-timer tick.
#include <cstdint>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/memory_lines.h"
#include "console/mower_frame.h"
#include "console/text.h"

namespace verdelo {

namespace {

constexpr int kLastAddress = 0x7FFF;

bool IsAddress(int n) { return n >= 0 && n <= kLastAddress; }

}  // namespace

void MowerConsole::StartMemoryRead() {
  if (memory_.memReadActive || memory_.memWriteActive) return;
  if (!memoryDump_.Open(host_.workDir / kMemoryFileName, TextFileWriter::Mode::Truncate))
    return;
  memory_.memBegin = ToInt(host_.controls.Text(IDC_MEM_BEGIN));
  memory_.memEnd = ToInt(host_.controls.Text(IDC_MEM_END));
  // A read never carries WRITE_FLAG: a range outside the registers starts
  // nothing, like an end below the beginning.
  if (memory_.memEnd < memory_.memBegin || !IsAddress(memory_.memBegin) ||
      !IsAddress(memory_.memEnd)) {
    memoryDump_.Close();
    return;
  }
  memory_.memNext = memory_.memBegin;
  memory_.ticksAwaitingLastAnswer = 0;
  memory_.memReadActive = true;
  StartPollTimer();
}

void MowerConsole::MemoryReadTick() {
  if (memory_.memNext > memory_.memEnd) {
    // One lost answer must not cost the console its poll cycle for good.
    if (++memory_.ticksAwaitingLastAnswer >= kMemoryReadGraceTicks) EndMemoryRead();
    return;
  }
  SendFrame(static_cast<std::uint16_t>(memory_.memNext), 0);
  ++memory_.memNext;
  if (host_.controls.IsChecked(IDC_MEM_EVEN_ONLY) && memory_.memNext % 2 != 0)
    ++memory_.memNext;
}

void MowerConsole::EndMemoryRead() {
  memory_.memReadActive = false;
  host_.timers.StopTimer(TIMER_POLL);
  memoryDump_.Close();
}

void MowerConsole::StartMemoryWrite() {
  if (memory_.memReadActive || memory_.memWriteActive) return;
  if (!memoryScript_.Open(host_.workDir / kMemoryFileName)) return;
  // Without an answer file the answers are simply not kept.
  memoryAnswers_.Open(host_.workDir / kMemoryAnswerFileName, TextFileWriter::Mode::Truncate);
  memory_.memWriteActive = true;
  StartPollTimer();
}

void MowerConsole::MemoryWriteTick() {
  std::string line;
  if (!memoryScript_.ReadLine(line)) {
    memoryScript_.Close();
    memoryAnswers_.Close();
    host_.controls.SetText(IDC_SCRIPT_STATE, "Mem. Writing finished");
    memory_.memWriteActive = false;
    OnDisableValuesUpdate();
    return;
  }
  host_.controls.SetText(IDC_SCRIPT_STATE, line);
  const auto parsed = ParseMemoryWriteLine(line);
  if (!parsed) return;  // a line without an address and a value sends nothing
  const bool testRead = host_.controls.IsChecked(IDC_MEM_TEST_READ);
  const auto command = static_cast<std::uint16_t>(parsed->address | (testRead ? 0 : WRITE_FLAG));
  SendFrame(command, parsed->value);
}

void MowerConsole::MemoryAnswer(std::uint16_t command, std::uint16_t value) {
  if (memory_.memReadActive) {
    bool keep = true;
    if (host_.controls.IsChecked(IDC_MEM_FILTER)) {
      const int signedValue = static_cast<std::int16_t>(value);
      keep = signedValue >= ToInt(host_.controls.Text(IDC_MEM_MIN)) &&
             signedValue <= ToInt(host_.controls.Text(IDC_MEM_MAX));
    }
    if (keep)
      memoryDump_.WriteLine(
          FormatMemoryDumpLine(command, value, host_.controls.IsChecked(IDC_MEM_ASCII)));
    if (memory_.memNext > memory_.memEnd) EndMemoryRead();
    return;
  }
  memoryAnswers_.WriteLine(FormatMemoryAnswerLine(command, value));
}

}  // namespace verdelo
