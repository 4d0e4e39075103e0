#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/temp_dir.h"

namespace qw::test {
namespace {

// How often blocked waits look at the stop flag.
constexpr int kPollSliceMs = 20;
// A request larger than this is cut off; no test sends that much.
constexpr std::size_t kMaxRequestBytes = 256u << 20;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error("HttpTestServer: " + what); }

// Writing to a socket whose peer has gone raises SIGPIPE, which OpenSSL's socket writes do not suppress.
void IgnoreSigpipeOnce() {
  static const bool done = [] {
    ::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)done;
}

// ---- Certificates
// ------------------------------------------------------------------------------------------

struct PkeyFree {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
  void operator()(X509* p) const { X509_free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  if (ext == nullptr) Fail("certificate extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

// A certificate for key, signed by issuerKey (issuer null: self-signed).
X509Ptr MakeCertificate(EVP_PKEY* key, const char* commonName, bool isCa, X509* issuer, EVP_PKEY* issuerKey) {
  static std::atomic<long> serial{1};
  X509Ptr cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 30L * 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                             -1, 0);
  X509* signer = issuer != nullptr ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  if (isCa) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "CA:FALSE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    if (issuer != nullptr) AddExtension(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
  }
  if (X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, EVP_sha256()) == 0) Fail("signing");
  return cert;
}

std::string ToPem(X509* cert, EVP_PKEY* key) {
  BIO* bio = BIO_new(BIO_s_mem());
  if (cert != nullptr) PEM_write_bio_X509(bio, cert);
  if (key != nullptr) PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<std::size_t>(size));
  BIO_free(bio);
  return pem;
}

PkeyPtr NewKey() {
  PkeyPtr key(EVP_EC_gen("P-256"));
  if (!key) Fail("key generation");
  return key;
}

// ---- Connections
// -------------------------------------------------------------------------------------------

// One accepted connection, plain or TLS, on a non-blocking socket.
class Connection final : public ResponseStream {
 public:
  Connection(int fd, SSL_CTX* tls, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {
    if (tls != nullptr) {
      ssl_ = SSL_new(tls);
      SSL_set_fd(ssl_, fd_);
    }
  }
  ~Connection() override {
    if (ssl_ != nullptr) {
      if (handshakeDone_) SSL_shutdown(ssl_);
      SSL_free(ssl_);
    }
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
  }

  bool Handshake() {
    if (ssl_ == nullptr) return true;
    while (true) {
      const int result = SSL_accept(ssl_);
      if (result == 1) return handshakeDone_ = true;
      if (!WaitForSsl(result, -1)) return false;
    }
  }

  // Reads the header block and the Content-Length body; false when the client left before finishing.
  bool ReadRequest(std::string& raw) {
    std::size_t headerEnd = std::string::npos;
    std::size_t wanted = kMaxRequestBytes;
    char buffer[16384];
    while (raw.size() < wanted) {
      const long n = ReadSome(buffer, sizeof buffer, -1);
      if (n <= 0) return false;
      raw.append(buffer, static_cast<std::size_t>(n));
      if (headerEnd == std::string::npos) {
        headerEnd = raw.find("\r\n\r\n");
        if (headerEnd != std::string::npos) wanted = headerEnd + 4 + ContentLength(raw.substr(0, headerEnd));
      }
    }
    return true;
  }

  bool Send(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (stopping_) return false;
      long n;
      if (ssl_ != nullptr) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1u << 20));
        n = SSL_write(ssl_, bytes.data(), chunk);
        if (n <= 0) {
          if (!WaitForSsl(static_cast<int>(n), kPollSliceMs) && (stopping_ || gone_)) return false;
          continue;
        }
      } else {
        n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0) {
          if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
          WaitFd(POLLOUT, kPollSliceMs);
          continue;
        }
      }
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }

  void Hold() override {
    while (HoldFor(std::chrono::hours(1))) {
    }
  }

  bool HoldFor(std::chrono::milliseconds duration) override {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    char scratch[4096];
    while (std::chrono::steady_clock::now() < deadline) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      const int slice = static_cast<int>(std::clamp<long long>(left.count(), 1, kPollSliceMs));
      // Anything the client still sends is discarded; an end of stream or an error means it has gone.
      if (ReadSome(scratch, sizeof scratch, slice) < 0) {
        if (stopping_ || gone_) return false;
      }
    }
    return !stopping_ && !gone_;
  }

 private:
  static std::size_t ContentLength(const std::string& headers) {
    std::string lower = headers;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return static_cast<std::size_t>(std::strtoull(lower.c_str() + at + 17, nullptr, 10));
  }

  // Waits up to timeoutMs (-1: until stopping) for the socket; false on time-out or stop.
  bool WaitFd(short events, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    while (!stopping_) {
      pollfd p{fd_, events, 0};
      const int ready = ::poll(&p, 1, kPollSliceMs);
      if (ready > 0) return true;
      if (timeoutMs >= 0 &&
          std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeoutMs)) {
        return false;
      }
    }
    return false;
  }

  // After an SSL call returned result: waits as it asks; false (and gone_ set) when the connection is dead.
  bool WaitForSsl(int result, int timeoutMs) {
    switch (SSL_get_error(ssl_, result)) {
      case SSL_ERROR_WANT_READ:
        return WaitFd(POLLIN, timeoutMs);
      case SSL_ERROR_WANT_WRITE:
        return WaitFd(POLLOUT, timeoutMs);
      default:
        ERR_clear_error();
        gone_ = true;
        return false;
    }
  }

  // Bytes read (>0), 0 when nothing arrived within timeoutMs, -1 at the end of the stream, on an error or a
  // stop.
  long ReadSome(char* buffer, std::size_t size, int timeoutMs) {
    while (!stopping_ && !gone_) {
      if (ssl_ != nullptr) {
        const int n = SSL_read(ssl_, buffer, static_cast<int>(size));
        if (n > 0) return n;
        if (!WaitForSsl(n, timeoutMs)) return gone_ || stopping_ ? -1 : 0;
      } else {
        const long n = ::recv(fd_, buffer, size, 0);
        if (n > 0) return n;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
          gone_ = true;
          return -1;
        }
        if (!WaitFd(POLLIN, timeoutMs)) return stopping_ ? -1 : 0;
      }
    }
    return -1;
  }

  int fd_;
  SSL* ssl_ = nullptr;
  bool handshakeDone_ = false;
  bool gone_ = false;
  const std::atomic<bool>& stopping_;
};

}  // namespace

// ---- TlsIdentity
// -------------------------------------------------------------------------------------------

TlsIdentity TlsIdentity::SignedByTestCa() {
  PkeyPtr caKey = NewKey();
  X509Ptr ca = MakeCertificate(caKey.get(), "Quillwatch Test CA", true, nullptr, nullptr);
  PkeyPtr key = NewKey();
  X509Ptr cert = MakeCertificate(key.get(), "127.0.0.1", false, ca.get(), caKey.get());

  TlsIdentity identity;
  identity.certPem = ToPem(cert.get(), nullptr);
  identity.keyPem = ToPem(nullptr, key.get());
  auto dir = std::make_shared<TempDir>();
  identity.caFile = (*dir / "ca.pem").string();
  std::ofstream(identity.caFile, std::ios::binary) << ToPem(ca.get(), nullptr);
  identity.keepAlive = dir;
  return identity;
}

TlsIdentity TlsIdentity::SelfSigned() {
  PkeyPtr key = NewKey();
  X509Ptr cert = MakeCertificate(key.get(), "127.0.0.1", false, nullptr, nullptr);
  TlsIdentity identity;
  identity.certPem = ToPem(cert.get(), nullptr);
  identity.keyPem = ToPem(nullptr, key.get());
  return identity;
}

// ---- HttpTestServer
// ----------------------------------------------------------------------------------------

struct HttpTestServer::Impl {
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  StreamHandler handler;
  ServerOptions options;
  ConnectionGauge connections;
  bool secure = false;
  SSL_CTX* tls = nullptr;
  int listenFd = -1;
  int port = 0;
  std::atomic<bool> stopping{false};
  std::thread acceptor;
  mutable std::mutex mutex;
  std::vector<ReceivedRequest> requests;
  bool keepRequests = true;
  std::vector<Worker> workers;
  // Connections taken from the listening socket; counted under acceptMutex with the take itself.
  mutable std::mutex acceptMutex;
  int accepted = 0;

  Impl(StreamHandler h, const TlsIdentity* identity, ServerOptions o)
      : handler(std::move(h)), options(std::move(o)) {
    IgnoreSigpipeOnce();
    if (identity != nullptr) SetUpTls(*identity);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (::inet_pton(AF_INET, options.address.c_str(), &address.sin_addr) != 1) Fail("address");
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0) Fail("socket");
    socklen_t length = sizeof address;
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd, 128) != 0 ||
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ::close(listenFd);
      Fail("bind");
    }
    port = ntohs(address.sin_port);
    acceptor = std::thread([this] { AcceptLoop(); });
  }

  ~Impl() {
    stopping = true;
    acceptor.join();
    ::close(listenFd);
    for (Worker& worker : workers) worker.thread.join();
    if (tls != nullptr) SSL_CTX_free(tls);
  }

  void SetUpTls(const TlsIdentity& identity) {
    secure = true;
    tls = SSL_CTX_new(TLS_server_method());
    BIO* certBio = BIO_new_mem_buf(identity.certPem.data(), static_cast<int>(identity.certPem.size()));
    BIO* keyBio = BIO_new_mem_buf(identity.keyPem.data(), static_cast<int>(identity.keyPem.size()));
    X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, nullptr);
    const bool ok = cert != nullptr && key != nullptr && SSL_CTX_use_certificate(tls, cert) == 1 &&
                    SSL_CTX_use_PrivateKey(tls, key) == 1;
    X509_free(cert);
    EVP_PKEY_free(key);
    BIO_free(certBio);
    BIO_free(keyBio);
    if (!ok) Fail("loading the certificate");
  }

  void AcceptLoop() {
    while (!stopping) {
      pollfd p{listenFd, POLLIN, 0};
      if (::poll(&p, 1, kPollSliceMs) <= 0) continue;
      int fd = -1;
      {
        std::lock_guard taking(acceptMutex);
        fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) ++accepted;
      }
      if (fd < 0) continue;
      auto done = std::make_shared<std::atomic<bool>>(false);
      std::lock_guard lock(mutex);
      ReapFinishedWorkers();
      workers.push_back({std::thread([this, fd, done] {
                           Serve(fd);
                           *done = true;
                         }),
                         done});
    }
  }

  // Called with mutex held, so that long runs (benchmarks) do not pile up finished threads.
  void ReapFinishedWorkers() {
    auto finished = std::partition(workers.begin(), workers.end(), [](const Worker& w) { return !*w.done; });
    for (auto it = finished; it != workers.end(); ++it) it->thread.join();
    workers.erase(finished, workers.end());
  }

  void Serve(int fd) {
    Connection connection(fd, tls, stopping);
    CountedStream counted(connection, connections, options.sharedGauge);
    if (!connection.Handshake()) return;
    ReceivedRequest request;
    if (!connection.ReadRequest(request.raw)) return;
    {
      std::lock_guard lock(mutex);
      if (keepRequests) requests.push_back(request);
    }
    handler(request, counted);
  }

  // Counts the exchange in the gauges from here until its answer starts going out (or it ends without one).
  class CountedStream final : public ResponseStream {
   public:
    CountedStream(ResponseStream& inner, ConnectionGauge& own, ConnectionGauge* shared)
        : inner_(inner), own_(own), shared_(shared) {
      own_.Enter();
      if (shared_ != nullptr) shared_->Enter();
    }
    ~CountedStream() override { Answering(); }
    bool Send(std::string_view bytes) override {
      Answering();
      return inner_.Send(bytes);
    }
    void Hold() override { inner_.Hold(); }
    bool HoldFor(std::chrono::milliseconds duration) override { return inner_.HoldFor(duration); }

   private:
    void Answering() {
      if (std::exchange(answering_, true)) return;
      own_.Leave();
      if (shared_ != nullptr) shared_->Leave();
    }
    ResponseStream& inner_;
    ConnectionGauge& own_;
    ConnectionGauge* shared_;
    bool answering_ = false;
  };
};

void ConnectionGauge::Enter() {
  std::lock_guard lock(mutex_);
  peak_ = std::max(peak_, ++now_);
}

void ConnectionGauge::Leave() {
  std::lock_guard lock(mutex_);
  --now_;
}

int ConnectionGauge::Now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

int ConnectionGauge::Peak() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

namespace {
HttpTestServer::StreamHandler Streaming(HttpTestServer::Handler handler) {
  return [handler = std::move(handler)](const ReceivedRequest& request, ResponseStream& stream) {
    (void)stream.Send(handler(request));
  };
}
}  // namespace

HttpTestServer::HttpTestServer(Handler handler)
    : impl_(new Impl(Streaming(std::move(handler)), nullptr, {})) {}
HttpTestServer::HttpTestServer(Handler handler, const TlsIdentity& tls)
    : impl_(new Impl(Streaming(std::move(handler)), &tls, {})) {}
HttpTestServer::HttpTestServer(StreamHandler handler) : impl_(new Impl(std::move(handler), nullptr, {})) {}
HttpTestServer::HttpTestServer(StreamHandler handler, const TlsIdentity& tls)
    : impl_(new Impl(std::move(handler), &tls, {})) {}
HttpTestServer::HttpTestServer(StreamHandler handler, const ServerOptions& options)
    : impl_(new Impl(std::move(handler), nullptr, options)) {}
HttpTestServer::~HttpTestServer() = default;

int HttpTestServer::Port() const { return impl_->port; }

std::string HttpTestServer::Url(std::string_view pathAndQuery) const {
  return std::string(impl_->secure ? "https" : "http") + "://" + impl_->options.address + ":" +
         std::to_string(impl_->port) + std::string(pathAndQuery);
}

const ConnectionGauge& HttpTestServer::Connections() const { return impl_->connections; }

int HttpTestServer::ConnectionsOpened() const {
  std::lock_guard taking(impl_->acceptMutex);
  // For a listening socket the kernel reports the connections waiting to be accepted as unacked.
  tcp_info info{};
  socklen_t length = sizeof info;
  const int waiting =
      ::getsockopt(impl_->listenFd, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 ? static_cast<int>(info.tcpi_unacked) : 0;
  return impl_->accepted + waiting;
}

void HttpTestServer::KeepRequests(bool keep) {
  std::lock_guard lock(impl_->mutex);
  impl_->keepRequests = keep;
}

std::vector<ReceivedRequest> HttpTestServer::Requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

HttpTestServer::StreamHandler HttpTestServer::NeverAnswer() {
  return [](const ReceivedRequest&, ResponseStream& stream) { stream.Hold(); };
}

namespace {
std::string Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    default:
      return "Status";
  }
}

std::string HeaderLines(std::string_view extra) {
  std::string lines(extra);
  if (!lines.empty() && !lines.ends_with("\r\n")) lines += "\r\n";
  return lines;
}
}  // namespace

std::string MakeResponse(int status, std::string_view body, std::string_view extraHeaderLines) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  response += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n";
  response += HeaderLines(extraHeaderLines);
  response += "\r\n";
  response += body;
  return response;
}

std::string MakeChunkedResponse(int status, const std::vector<std::string>& chunks,
                                std::string_view extraHeaderLines) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
  response += "Transfer-Encoding: chunked\r\nConnection: close\r\n";
  response += HeaderLines(extraHeaderLines);
  response += "\r\n";
  char size[32];
  for (const std::string& chunk : chunks) {
    if (chunk.empty()) continue;  // an empty chunk would end the body
    std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
    response += size;
    response += chunk;
    response += "\r\n";
  }
  response += "0\r\n\r\n";
  return response;
}

}  // namespace qw::test
