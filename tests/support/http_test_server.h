#pragma once
// A small threaded HTTP/1.1 server on a loopback address (127.0.0.1 unless told) for tests and benchmarks.
//
// Each connection carries one exchange: the server reads the whole request (header block and the body its
// Content-Length announces), records it, lets the handler answer and closes the connection. Plain HTTP or TLS
// with a certificate made at test time. Shutting down never waits for a client: every wait polls the stop
// flag.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qw::test {

struct ReceivedRequest {
  // Exact bytes received: request line, headers, body.
  std::string raw;
};

// A server certificate for 127.0.0.1 and localhost with its key, made with OpenSSL at test time.
struct TlsIdentity {
  // Signed by a fresh test CA; caFile names a PEM file holding that CA, for the client to trust.
  static TlsIdentity SignedByTestCa();
  // Signed by its own key; no client trusts it. caFile is empty.
  static TlsIdentity SelfSigned();

  std::string certPem;
  std::string keyPem;
  std::string caFile;
  std::shared_ptr<void> keepAlive;  // the directory holding caFile, removed with the last copy
};

// How a streaming handler answers: bytes go out as they are sent, with pauses in between as the test likes.
class ResponseStream {
 public:
  virtual ~ResponseStream() = default;
  // False once the client has gone or the server is stopping.
  virtual bool Send(std::string_view bytes) = 0;
  // Waits until the client closes the connection or the server stops.
  virtual void Hold() = 0;
  // Waits for the given time; false when the client went away or the server stopped meanwhile.
  virtual bool HoldFor(std::chrono::milliseconds duration) = 0;
};

// Counts the exchanges one server, or several sharing it, hold at once: each from its accepted connection
// until its answer starts going out. That span lies within the client's transfer, so the count never exceeds
// the transfers the client has in flight.
class ConnectionGauge {
 public:
  void Enter();
  void Leave();
  int Now() const;
  int Peak() const;

 private:
  mutable std::mutex mutex_;
  int now_ = 0;
  int peak_ = 0;
};

struct ServerOptions {
  // Any 127.0.0.0/8 address answers locally on Linux, so servers on 127.0.0.2, 127.0.0.3 ... act as
  // different hosts.
  std::string address = "127.0.0.1";
  // Counted into beside the server's own gauge.
  ConnectionGauge* sharedGauge = nullptr;
};

class HttpTestServer {
 public:
  // Returns the raw response bytes, sent as they are.
  using Handler = std::function<std::string(const ReceivedRequest&)>;
  using StreamHandler = std::function<void(const ReceivedRequest&, ResponseStream&)>;

  explicit HttpTestServer(Handler handler);
  HttpTestServer(Handler handler, const TlsIdentity& tls);
  explicit HttpTestServer(StreamHandler handler);
  HttpTestServer(StreamHandler handler, const TlsIdentity& tls);
  HttpTestServer(StreamHandler handler, const ServerOptions& options);
  ~HttpTestServer();
  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  int Port() const;
  // "http://<address>:<port>" (or https) followed by pathAndQuery, which should start with "/".
  std::string Url(std::string_view pathAndQuery) const;
  // The exchanges this server holds at once.
  const ConnectionGauge& Connections() const;
  // Every connection a client has opened to the server so far, accepted or still waiting to be: a client's
  // connection counts as soon as its handshake is done, before the server takes it.
  int ConnectionsOpened() const;
  // The requests received so far, in the order they were complete.
  std::vector<ReceivedRequest> Requests() const;
  // Whether requests are kept for Requests() (on by default); a long soak turns it off.
  void KeepRequests(bool keep);

  // A handler that reads the request and never answers; the connection stays open until the client leaves.
  static StreamHandler NeverAnswer();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// "HTTP/1.1 <status> <reason>", Content-Length, "Connection: close", the extra header lines (separated by
// "\r\n"), the empty line and the body.
std::string MakeResponse(int status, std::string_view body, std::string_view extraHeaderLines = {});

// A response whose body is sent in the given chunks with "Transfer-Encoding: chunked".
std::string MakeChunkedResponse(int status, const std::vector<std::string>& chunks,
                                std::string_view extraHeaderLines = {});

}  // namespace qw::test
