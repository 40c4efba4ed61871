#include "tests/serial/ser2net_bridge.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace verdelo::test {
namespace {

// A port the kernel just handed out for 127.0.0.1, free again.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

}  // namespace

bool Ser2netBridge::Installed() { return access(kProgram, X_OK) == 0; }

Ser2netBridge::Ser2netBridge(const std::string& device, bool telnet) : telnet_(telnet) {
  // Another program may take the port between FreePort and ser2net's bind;
  // ser2net then never listens there, and another port is tried.
  for (int attempt = 0; attempt < 3 && !listening_; ++attempt) listening_ = Start(device);
}

Ser2netBridge::~Ser2netBridge() { Kill(); }

bool Ser2netBridge::Start(const std::string& device) {
  Kill();
  port_ = FreePort();
  const std::string accepter =
      std::string(telnet_ ? "telnet(rfc2217)," : "") + "tcp,127.0.0.1," + std::to_string(port_);
  const std::string config = "connection: &verdelo#  accepter: " + accepter +
                             "#  connector: serialdev," + device + ",9600n81,local";
  pid_ = fork();
  if (pid_ == 0) {
    const int quiet = open("/dev/null", O_RDWR);
    dup2(quiet, STDIN_FILENO);
    dup2(quiet, STDOUT_FILENO);
    dup2(quiet, STDERR_FILENO);
    execl(kProgram, kProgram, "-n", "-d", "-u", "-Y", config.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < end) {
    if (Listening()) return true;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    poll(nullptr, 0, 10);  // ser2net starts within some milliseconds
  }
  return false;
}

// Whether ser2net itself holds a socket listening on the port: a listening
// entry for 127.0.0.1:port in /proc/net/tcp whose inode is one of its
// descriptors.
bool Ser2netBridge::Listening() const {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // heading
  std::ostringstream local;
  local << "0100007F:" << std::uppercase << std::hex;
  local.width(4);
  local.fill('0');
  local << port_;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, localAddress, remote, state, queues, timer, retransmits, uid, timeout, inode;
    fields >> slot >> localAddress >> remote >> state >> queues >> timer >> retransmits >> uid >>
        timeout >> inode;
    if (localAddress != local.str() || state != "0A") continue;
    const std::string target = "socket:[" + inode + "]";
    std::error_code error;
    const std::string fds = "/proc/" + std::to_string(pid_) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error))
      if (std::filesystem::read_symlink(entry.path(), error).string() == target) return true;
  }
  return false;
}

std::string Ser2netBridge::Address() const {
  return std::string(telnet_ ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
}

void Ser2netBridge::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace verdelo::test
