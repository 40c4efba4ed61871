// verdelo-mower: a virtual mower at the other end of a serial line, for
// trying the console without a mower and for end-to-end tests.
#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "tools/mower/config_update.h"
#include "tools/mower/line_transport.h"
#include "tools/mower/mower_commands.h"
#include "tools/mower/serve_loop.h"
#include "tools/mower/trace_log.h"
#include "tools/mower/virtual_mower.h"

namespace {

using namespace verdelo::mower;

volatile sig_atomic_t g_stop_fd = -1;

void OnStopSignal(int) {
  const char byte = 1;
  if (g_stop_fd >= 0) [[maybe_unused]] auto written = ::write(g_stop_fd, &byte, 1);
}

void PrintHelp() {
  std::printf(
      "Usage: verdelo-mower [OPTIONS]\n"
      "A virtual robotic mower on a serial line. It answers every request frame\n"
      "of the console and lives through a mowing day on a simulated clock.\n"
      "\n"
      "By default it makes a pseudo-terminal and prints the device the console\n"
      "should open as the first line of its output, then serves until Ctrl-C.\n"
      "\n"
      "Options:\n"
      "  --port DEVICE    serve a real serial port instead of a pseudo-terminal: a\n"
      "                   path, or a name in /dev such as ttyUSB0; 8N1, no flow\n"
      "                   control, for this program alone\n"
      "  --baud N         baud rate of --port (default 9600; 19200, 115200 ...)\n"
      "  --tcp [HOST:]PORT\n"
      "                   serve a TCP port instead, as a raw serial-to-network\n"
      "                   bridge (ser2net's raw mode, a Wi-Fi serial module) serves\n"
      "                   its line: the bytes on the connection are the bytes on the\n"
      "                   line. HOST defaults to 127.0.0.1 (an IPv6 address goes in\n"
      "                   brackets: [::1]:4001); PORT 0 takes a free port. One\n"
      "                   console at a time: one that connects while another is\n"
      "                   served is disconnected at once. The first line of output\n"
      "                   is the address the console should open, tcp://HOST:PORT.\n"
      "                   The console's rfc2217:// addresses need a Telnet bridge\n"
      "                   such as ser2net in front of the pseudo-terminal instead.\n"
      "  --config FILE    write [COM1]<device>, [COMPORT]0 and [COMPORT_AUTO_OPEN]1\n"
      "                   into the console's configuration file (CR LF lines; other\n"
      "                   lines are kept; the file is made if absent)\n"
      "  --speed F        time factor: simulated seconds per second (default 1;\n"
      "                   60 = a minute per second)\n"
      "  --trace FILE     write every request and answer to FILE: time in ms,\n"
      "                   REQ/ANS/BURST/NOISE/FLOOD, the bytes in hexadecimal\n"
      "  --fault CMD      carry out a command at start (repeatable), e.g.\n"
      "                   --fault \"mute 475\" --fault \"delay 200\"\n"
      "  --start HH:MM    the mower's clock at start (default: local time)\n"
      "  --phase NAME     where the day starts (default: cutting during the\n"
      "                   mowing hours 08:00-20:00, else waiting on the timer)\n"
      "  --seed N         seed of the simulated noise (default 1)\n"
      "  --help           this text\n"
      "\n"
      "Commands, one per line on standard input (also for --fault):\n%s",
      CommandHelp());
}

bool ParseClock(const char* text, int& seconds) {
  int hours = 0, minutes = 0;
  char end = 0;
  if (std::sscanf(text, "%d:%d%c", &hours, &minutes, &end) != 2) return false;
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return false;
  seconds = hours * 3600 + minutes * 60;
  return true;
}

int LocalSecondsOfDay() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

int Fail(const std::string& message) {
  std::cerr << "verdelo-mower: " << message << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string port, config_path, trace_path, phase_name, tcp_host;
  int baud = 9600;
  int tcp_port = -1;
  MowerOptions options;
  options.day.start_seconds_of_day = LocalSecondsOfDay();
  std::vector<std::string> faults;

  enum { kPort = 1, kBaud, kConfig, kSpeed, kTrace, kFault, kStart, kPhase, kSeed, kHelp, kTcp };
  const option long_options[] = {
      {"port", required_argument, nullptr, kPort},     {"baud", required_argument, nullptr, kBaud},
      {"config", required_argument, nullptr, kConfig}, {"speed", required_argument, nullptr, kSpeed},
      {"trace", required_argument, nullptr, kTrace},   {"fault", required_argument, nullptr, kFault},
      {"start", required_argument, nullptr, kStart},   {"phase", required_argument, nullptr, kPhase},
      {"seed", required_argument, nullptr, kSeed},     {"help", no_argument, nullptr, kHelp},
      {"tcp", required_argument, nullptr, kTcp},
      {nullptr, 0, nullptr, 0},
  };
  for (int opt; (opt = getopt_long(argc, argv, "h", long_options, nullptr)) != -1;) {
    char* end = nullptr;
    switch (opt) {
      case kPort: port = optarg; break;
      case kBaud:
        baud = static_cast<int>(std::strtol(optarg, &end, 10));
        if (*end != '\0' || !IsSupportedBaud(baud)) return Fail(std::string("unsupported baud rate ") + optarg);
        break;
      case kConfig: config_path = optarg; break;
      case kTcp:
        if (!ParseListenAddress(optarg, tcp_host, tcp_port))
          return Fail(std::string("--tcp needs [HOST:]PORT, not ") + optarg);
        break;
      case kSpeed:
        options.speed = std::strtod(optarg, &end);
        if (*end != '\0' || !(options.speed > 0)) return Fail("--speed needs a factor above 0");
        break;
      case kTrace: trace_path = optarg; break;
      case kFault: faults.push_back(optarg); break;
      case kStart:
        if (!ParseClock(optarg, options.day.start_seconds_of_day)) return Fail("--start needs HH:MM");
        break;
      case kPhase: phase_name = optarg; break;
      case kSeed:
        options.seed = static_cast<unsigned>(std::strtoul(optarg, &end, 10));
        options.day.seed = options.seed;
        break;
      case 'h':
      case kHelp: PrintHelp(); return 0;
      default: return Fail("see --help");
    }
  }
  if (optind < argc) return Fail(std::string("unexpected argument ") + argv[optind] + " (see --help)");
  if (!port.empty() && !config_path.empty())
    return Fail("--config names the console's side of the pseudo-terminal; it does not go with --port");
  if (!port.empty() && tcp_port >= 0) return Fail("--port and --tcp do not go together");

  // Start the day where a person looking at it sees something happen.
  const int t = options.day.start_seconds_of_day;
  const bool mowing_hours = t >= options.day.mowing_from_seconds && t < options.day.mowing_until_seconds;
  options.day.start_phase = mowing_hours ? Phase::Cutting : Phase::TimerWait;
  options.day.start_charge = mowing_hours ? 0.8 : 1.0;
  if (!phase_name.empty() && !PhaseFromName(phase_name, options.day.start_phase))
    return Fail("unknown phase " + phase_name + " (see --help)");

  std::string error;
  std::unique_ptr<LineTransport> line = tcp_port >= 0      ? OpenTcpServer(tcp_host, tcp_port, error)
                                        : !port.empty() ? OpenSerialPort(port, baud, error)
                                                        : OpenPseudoTerminal(error);
  if (!line) return Fail(error);
  std::cout << line->device() << std::endl;

  if (!config_path.empty()) {
    if (!UpdateConsoleConfig(config_path, line->device(), error)) return Fail(error);
    std::cerr << "verdelo-mower: " << config_path << " points the console at " << line->device() << '\n';
  }

  std::ofstream trace_file;
  std::unique_ptr<TraceLog> trace;
  if (!trace_path.empty()) {
    trace_file.open(trace_path, std::ios::out | std::ios::trunc);
    if (!trace_file) return Fail("cannot write " + trace_path);
    trace = std::make_unique<TraceLog>(trace_file);
  }

  VirtualMower mower(options);
  ServeLoop loop(mower, *line, STDIN_FILENO, std::cout, trace.get());
  for (const auto& fault : faults) {
    const CommandReply reply = RunCommand(mower, fault, 0);
    if (!reply.ok) return Fail("--fault " + fault + ": " + reply.text);
  }

  g_stop_fd = loop.stop_fd();
  struct sigaction action{};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::cerr << "verdelo-mower: serving " << line->device() << " at speed " << options.speed
            << "; type help for commands\n";
  return loop.Run() == 0 ? 0 : 1;
}
