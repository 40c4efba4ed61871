// The data log: one semicolon-separated line of the latest values per event,
// appended to "Moro-log.txt".
#include <cerrno>
#include <cstring>

#include "console/console.h"
#include "console/data_log_line.h"

namespace verdelo {

namespace {

std::string DescribeLogFailure(int error) {
  switch (error) {
    case EWOULDBLOCK:
      return "held by another program (a second Verdelo in this folder?)";
    case EISDIR:
      return "it is a folder";
    case ENOENT:
      return "its folder is gone";
    default:
      return std::strerror(error);
  }
}

}  // namespace

void MowerConsole::OpenDataLog() {
  dataLogError_ = 0;
  NoteDataLogResult(dataLog_.Open(host_.workDir / kDataLogName, TextFileWriter::Mode::Append));
}

void MowerConsole::ReopenDataLog() {
  dataLog_.Close();
  NoteDataLogResult(dataLog_.Open(host_.workDir / kDataLogName, TextFileWriter::Mode::Append));
}

bool MowerConsole::AppendToDataLog(const std::string& line) {
  const bool open =
      dataLog_.IsOpen() || dataLog_.Open(host_.workDir / kDataLogName, TextFileWriter::Mode::Append);
  const bool written = open && dataLog_.WriteLine(line);
  // Opened afresh for the next line, which then also meets a file put in
  // its place meanwhile.
  if (open && !written) dataLog_.Close();
  return written;
}

void MowerConsole::WriteLogLine(const std::string& text) {
  const LocalTime now = host_.clock.Now();
  const std::string line = FormatDataLogLine(now, values_, text);
  const bool wasOpen = dataLog_.IsOpen();
  bool written = AppendToDataLog(line);
  // A log deleted while open is made again under its name at once, so this
  // line already lands where it is seen; without its folder that fails and
  // is told like any other failure.
  if (!written && wasOpen && dataLog_.lastError() == ENOENT) written = AppendToDataLog(line);
  NoteDataLogResult(written);
  if (!text.empty())
    for (ILogEventObserver* observer : logEventObservers_) observer->OnLogEvent(text, now);
}

void MowerConsole::RemoveLogEventObserver(ILogEventObserver* observer) {
  std::erase(logEventObservers_, observer);
}

void MowerConsole::NoteDataLogResult(bool worked) {
  const int error = worked ? 0 : dataLog_.lastError();
  if (error == dataLogError_) return;
  dataLogError_ = error;
  host_.window.ShowDataLogTrouble(
      error == 0 ? std::string() : "cannot write " + std::string(kDataLogName) + ": " + DescribeLogFailure(error));
}

void MowerConsole::OnLinkLost(const std::string& reason) { WriteLogLine("=> Link lost: " + reason); }

void MowerConsole::OnLinkReopened() { WriteLogLine("=> Link reopened"); }

}  // namespace verdelo
