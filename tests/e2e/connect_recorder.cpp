// Preloaded into the program under test (LD_PRELOAD): every connection attempt to a network address and every
// name look-up is written to the file QW_CONNECT_LOG names, one line each, before it goes ahead. Connections
// over local sockets (the X display, the session bus) are not network connections and are not written.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Record(const std::string& line) {
  const char* path = std::getenv("QW_CONNECT_LOG");
  if (path == nullptr) return;
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string text = line + "\n";
  (void)!::write(fd, text.data(), text.size());
  ::close(fd);
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int connect(int fd, const struct sockaddr* address, socklen_t length) {
  static const auto real = Next<int (*)(int, const struct sockaddr*, socklen_t)>("connect");
  if (address != nullptr && (address->sa_family == AF_INET || address->sa_family == AF_INET6)) {
    char host[INET6_ADDRSTRLEN] = "?";
    unsigned port = 0;
    if (address->sa_family == AF_INET) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(address);
      ::inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
      port = ntohs(in->sin_port);
    } else {
      const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
      ::inet_ntop(AF_INET6, &in6->sin6_addr, host, sizeof host);
      port = ntohs(in6->sin6_port);
    }
    Record("connect " + std::string(host) + " port " + std::to_string(port) + " pid " +
           std::to_string(::getpid()));
  }
  return real(fd, address, length);
}

extern "C" int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints,
                           struct addrinfo** result) {
  static const auto real =
      Next<int (*)(const char*, const char*, const struct addrinfo*, struct addrinfo**)>("getaddrinfo");
  Record("lookup " + std::string(node != nullptr ? node : "(none)") + " pid " + std::to_string(::getpid()));
  return real(node, service, hints, result);
}
