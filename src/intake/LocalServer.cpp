#include "intake/LocalServer.h"

#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "intake/ConnectionRegistry.h"
#include "intake/ConnectionSession.h"
#include "platform/DetachedThread.h"
#include "platform/TcpListener.h"

namespace {

constexpr auto kWaitSlice = std::chrono::milliseconds(250);

// What an acceptor needs to start connections, fixed at activation.
struct AcceptSettings {
  LocalServer::ThreadFactory Factory;
  std::size_t StackSize = 0;
  int MaxConnections = 0;
  std::shared_ptr<const SessionSettings> Session;
  std::shared_ptr<ConnectionRegistry> Registry;
};

// One connection's whole life, run on its own thread.
class SessionTask : public os::DetachedTask {
 public:
  SessionTask(std::unique_ptr<SmtpConnectionThread> thread, const AcceptSettings& settings)
      : thread_(std::move(thread)), session_(settings.Session), registry_(settings.Registry) {}
  void Run() override { RunSession(std::move(thread_), std::move(session_), std::move(registry_)); }

 private:
  std::unique_ptr<SmtpConnectionThread> thread_;
  std::shared_ptr<const SessionSettings> session_;
  std::shared_ptr<ConnectionRegistry> registry_;
};

void RefuseOverLimit(os::TcpStream& stream) {
  try {
    stream.Write(ReplyLine(replies::kTooManyConnectionsCode, replies::kTooManyConnections));
    stream.Flush(1000);  // a few bytes into an empty send buffer; never hold up the acceptor for long
  } catch (const std::exception&) {
  }
}

// Gives one accepted connection a thread of its own. A failure here costs
// only this connection.
void StartConnection(std::unique_ptr<os::TcpStream> stream, const AcceptSettings& settings) {
  if (settings.MaxConnections > 0 && settings.Registry->ThreadCount() >= settings.MaxConnections) {
    RefuseOverLimit(*stream);
    return;
  }
  std::unique_ptr<SmtpConnectionThread> thread =
      settings.Factory ? settings.Factory(std::move(stream))
                       : std::make_unique<SmtpConnectionThread>(std::move(stream));
  if (!thread) return;
  SmtpConnectionThread* listed = thread.get();
  settings.Registry->Add(listed);
  std::unique_ptr<os::DetachedTask> task = std::make_unique<SessionTask>(std::move(thread), settings);
  if (!os::StartDetachedThread(settings.StackSize, task)) {
    // Unlist before the task frees the thread object with its connection.
    settings.Registry->RemoveFromThreads(listed);
    settings.Registry->RemoveFromActiveThreads(listed);
  }
}

void AcceptLoop(os::TcpListener& listener, const AcceptSettings& settings) {
  for (;;) {
    std::unique_ptr<os::TcpStream> stream;
    try {
      stream = listener.Accept();
      if (!stream) return;  // aborted by deactivation
      StartConnection(std::move(stream), settings);
    } catch (...) {
      // One failed accept, or a thread class that threw: only this
      // connection is lost. A short pause keeps a lasting fault from spinning.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

int BindErrorCode(const std::exception& failure) {
  if (auto* socketError = dynamic_cast<const ESocketError*>(&failure)) return socketError->Code();
  return 0;
}

}  // namespace

struct LocalServer::Acceptor {
  os::TcpListener Listener;
  std::thread Thread;

  void Stop() {
    Listener.Abort();
    if (Thread.joinable()) Thread.join();
    Listener.Close();
  }
};

LocalServer::LocalServer() : registry_(std::make_shared<ConnectionRegistry>()) {}

LocalServer::~LocalServer() {
  try {
    SetActive(false);
  } catch (...) {
  }
}

void LocalServer::SetActive(bool active) {
  if (active == active_.load()) return;
  if (active) {
    Activate();
  } else {
    Deactivate();
  }
}

void LocalServer::Activate() {
  if (Bindings.empty()) Bindings.push_back({"", DefaultPort});

  auto session = std::make_shared<SessionSettings>();
  session->Greeting = Greeting;
  session->ReplyExceptionCode = ReplyExceptionCode;
  session->OnConnect = OnConnect;
  session->Dialog.OnReceiveMessage = OnReceiveMessage;
  session->Dialog.ReplyUnknownCommand = ReplyUnknownCommand;
  AcceptSettings settings{ThreadClass, ThreadStackSize, MaxConnections, std::move(session), registry_};

  std::vector<std::unique_ptr<Acceptor>> started;
  try {
    for (const TBinding& binding : Bindings) {
      auto acceptor = std::make_unique<Acceptor>();
      if (binding.Port < 0 || binding.Port > 65535) throw EBindError(EINVAL);
      try {
        acceptor->Listener.Listen(binding.IP, static_cast<uint16_t>(binding.Port), ListenQueue);
      } catch (const std::exception& failure) {
        throw EBindError(BindErrorCode(failure));
      }
      started.push_back(std::move(acceptor));
    }
    for (auto& acceptor : started) {
      acceptor->Thread = std::thread(AcceptLoop, std::ref(acceptor->Listener), settings);
    }
  } catch (...) {
    for (auto& acceptor : started) acceptor->Stop();
    throw;
  }
  {
    std::lock_guard lock(acceptorsLock_);
    acceptors_ = std::move(started);
  }
  active_ = true;
}

void LocalServer::Deactivate() {
  std::vector<std::unique_ptr<Acceptor>> stopping;
  {
    std::lock_guard lock(acceptorsLock_);
    stopping.swap(acceptors_);
  }
  for (auto& acceptor : stopping) acceptor->Stop();
  stopping.clear();
  registry_->AbortConnections();
  registry_->WaitUntilNoThreads(std::chrono::milliseconds(TerminateWaitTime), kWaitSlice);
  active_ = false;
}

uint16_t LocalServer::BoundPort() const {
  std::lock_guard lock(acceptorsLock_);
  return acceptors_.empty() ? 0 : acceptors_.front()->Listener.Port();
}

void LocalServer::ForEachActiveThread(const std::function<void(SmtpConnectionThread&)>& fn) {
  registry_->ForEachActiveThread(fn);
}

int LocalServer::ThreadCount() const { return registry_->ThreadCount(); }

void RestrictToLocalPeers(SmtpConnectionThread& thread) {
  if (thread.PeerEndpoint().ip != thread.LocalEndpoint().ip)
    throw EFailure(std::string(replies::kExternalRestricted));
}
