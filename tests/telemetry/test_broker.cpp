#include "tests/telemetry/test_broker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace verdelo::test {

namespace {

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TestBroker::TestBroker(const std::filesystem::path& dir) : dir_(dir), caFile_(dir / "ca.crt") {
  const std::string d = dir_.string();
  // Elliptic-curve keys: made in milliseconds, unlike RSA.
  const bool made =
      RunQuietly("cd " + d + " && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
                 " -keyout ca.key -out ca.crt -days 2 -subj /CN=verdelo-test-ca") &&
      RunQuietly("cd " + d + " && openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
                 " -keyout server.key -out server.csr -subj /CN=127.0.0.1") &&
      RunQuietly("cd " + d + " && printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\\n' > san.ext &&"
                 " openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial"
                 " -out server.crt -days 2 -extfile san.ext") &&
      RunQuietly(std::string(VERDELO_MOSQUITTO_PASSWD) + " -c -b " + d + "/passwords " + kUser + " '" +
                 kPassword + "'");
  if (!made) {
    error_ = "could not make the test certificates or password file in " + d;
    return;
  }
  plainPort_ = FreeLoopbackPort();
  tlsPort_ = FreeLoopbackPort();
  passwordPort_ = FreeLoopbackPort();
  std::ofstream conf(dir_ / "mosquitto.conf");
  if (::geteuid() == 0) conf << "user root\n";  // else it would become "mosquitto" and not read these files
  conf << "persistence false\nper_listener_settings true\n"
       << "listener " << plainPort_ << " 127.0.0.1\nallow_anonymous true\n"
       << "listener " << tlsPort_ << " 127.0.0.1\nallow_anonymous true\n"
       << "cafile " << d << "/ca.crt\ncertfile " << d << "/server.crt\nkeyfile " << d << "/server.key\n"
       << "listener " << passwordPort_ << " 127.0.0.1\nallow_anonymous false\n"
       << "password_file " << d << "/passwords\n";
  conf.close();
  Start();
}

bool TestBroker::Start() {
  if (!error_.empty() && plainPort_ == 0) return false;
  error_.clear();
  const std::string conf = (dir_ / "mosquitto.conf").string();
  const std::string log = (dir_ / "broker.log").string();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::execl(VERDELO_MOSQUITTO_BROKER, "mosquitto", "-c", conf.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "the broker ended at start: " + FileText(log);
      return false;
    }
    if (Accepts(plainPort_) && Accepts(tlsPort_) && Accepts(passwordPort_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  error_ = "the broker did not listen within 5 s: " + FileText(log);
  Stop();
  return false;
}

void TestBroker::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= until) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

}  // namespace verdelo::test
