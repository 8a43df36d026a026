#include "lines/NetworkLine.h"

#include <netinet/in.h>
#include <unistd.h>

#include <gensio/gensio.h>
#include <gensio/gensio_addr.h>
#include <gensio/gensio_err.h>
#include <gensio/sergensio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "common/Win32Codes.h"
#include "lines/NetErrors.h"
#include "lines/QtGensio.h"
#include "lines/Resolver.h"
#include "lines/TlsName.h"

namespace tarvik::net {

namespace {

// Debian's hashed folder of the CAs the system trusts (ca-certificates).
constexpr const char* kSystemCaStore = "/etc/ssl/certs/";
// Received bytes kept for the reader before gensio is told to stop reading: the connection's
// own flow control then holds the far end back instead of this buffer growing.
constexpr size_t kInputLimit = 64 * 1024;
constexpr size_t kReadChunk = 4096;
// How long an RFC 2217 server may take to agree to COM-PORT after the telnet layer opened.
constexpr int kSettingTries = 20;
constexpr std::chrono::milliseconds kSettingRetry{100};

}  // namespace

namespace {
size_t g_sessions = 0;  // sessions alive: a line's, or one gensio is still closing
}  // namespace

// gensio's side of one connection. Its callbacks reach the line through `line`, which the line
// clears when it lets go; the session then lives on until gensio has closed and freed the stack.
struct Session {
    Session() { ++g_sessions; }
    ~Session() { --g_sessions; }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    NetworkLine* line = nullptr;
    gensio* transport = nullptr;  // tcp, or ssl over tcp: what opens first
    gensio* top = nullptr;        // what is read and written: the transport, or telnet over it
    std::string host;             // the name the server's certificate must carry
    bool certificateChecked = false;
    std::optional<comm::LineError> certificateError;
    int unanswered = 0;  // RFC 2217 requests the server has neither answered nor timed out

    gensio* Outermost() const { return top ? top : transport; }
    static int OnEvent(gensio* io, void* data, int event, int error, unsigned char* buffer, gensiods* length,
                       const char* const* auxdata);
    static void Answered(sergensio*, int, unsigned, void* data) { --static_cast<Session*>(data)->unanswered; }
};

namespace {

std::string PeerCertificate(gensio* io) {
    std::string pem(8192, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        gensiods length = pem.size();
        if (gensio_control(io, 0, GENSIO_CONTROL_GET, GENSIO_CONTROL_CERT, pem.data(), &length) != 0) return {};
        if (length < pem.size()) {
            pem.resize(length);
            return pem;
        }
        pem.resize(length + 1);
    }
    return {};
}

// gensio has checked the chain against the CA store (`error` and OpenSSL's words in auxdata);
// the name is checked here. Anything but 0 refuses the connection before a byte of data flows.
int CheckCertificate(Session* session, gensio* io, int error, const char* const* auxdata) {
    session->certificateChecked = true;
    if (error) {
        session->certificateError =
            FromCertificate(error, auxdata && auxdata[0] ? auxdata[0] : gensio_err_to_str(error));
        return error;
    }
    std::string why;
    if (!CertificateNamesHost(PeerCertificate(io), session->host, why)) {
        session->certificateError = comm::LineError{SEC_E_WRONG_PRINCIPAL, "TLS refused: " + why};
        return GE_CERTINVALID;
    }
    return 0;
}

}  // namespace

int Session::OnEvent(gensio* io, void* data, int event, int error, unsigned char* buffer, gensiods* length,
                     const char* const* auxdata) {
    auto* session = static_cast<Session*>(data);
    NetworkLine* line = session->line;
    switch (event) {
        case GENSIO_EVENT_READ:
            if (!line || error) {
                if (line) line->OnBroken(error);
                return 0;  // a let-go session takes and drops what is still arriving
            }
            {
                size_t taken = *length;
                line->OnData(buffer, taken);
                *length = taken;
            }
            return 0;
        case GENSIO_EVENT_WRITE_READY:
            if (line) {
                line->Flush();
            } else {
                gensio_set_write_callback_enable(io, false);
            }
            return 0;
        case GENSIO_EVENT_POSTCERT_VERIFY: return CheckCertificate(session, io, error, auxdata);
        default: return GE_NOTSUP;
    }
}

namespace {

void Closed(gensio* io, void* data) {
    gensio_free(io);
    delete static_cast<Session*>(data);
}

// Ends a session whose line has let go of it: gensio closes the stack (from its own callbacks
// too, which is allowed) and the session goes with it.
void Dispose(Session* session) {
    session->line = nullptr;
    gensio* io = session->Outermost();
    if (io && gensio_close(io, Closed, session) == 0) return;
    if (io) gensio_free(io);
    delete session;
}

gensio_addr* AddressesOf(gensio_os_funcs* o, const std::vector<sockaddr_storage>& found, uint16_t port) {
    gensio_addr* all = nullptr;
    for (const sockaddr_storage& entry : found) {
        gensio_addr* one = nullptr;
        int error = GE_INVAL;
        if (entry.ss_family == AF_INET) {
            const auto& ip4 = reinterpret_cast<const sockaddr_in&>(entry);
            error = gensio_addr_create(o, GENSIO_NETTYPE_IPV4, &ip4.sin_addr, sizeof ip4.sin_addr, port, &one);
        } else if (entry.ss_family == AF_INET6) {
            // The whole sockaddr_in6, so a link-local address keeps its zone.
            error = gensio_addr_create(o, GENSIO_NETTYPE_IPV6, &entry, sizeof(sockaddr_in6), port, &one);
        }
        if (error) continue;
        if (!all) {
            all = one;
            continue;
        }
        gensio_addr* both = gensio_addr_cat(all, one);
        gensio_addr_free(all);
        gensio_addr_free(one);
        all = both;
        if (!all) return nullptr;
    }
    return all;
}

}  // namespace

NetworkLine::NetworkLine(NetAddress address, LineSettings settings, QObject* parent)
    : comm::Line(parent),
      address_(std::move(address)),
      settings_(settings),
      output_(settings.baud) {
    openTimer_.setSingleShot(true);
    connect(&openTimer_, &QTimer::timeout, this, [this] { Fail(FromErrno(ETIMEDOUT)); });
}

NetworkLine::~NetworkLine() { close(); }

void NetworkLine::open() {
    if (isOpening() || state_ == State::Open) return;
    close();  // a lost line its owner did not close yet
    state_ = State::Resolving;
    openTimer_.start(settings_.openTimeout);
    lookup_ = Resolve(address_.host, address_.port, this, [this](Resolved result) { OnResolved(result); });
}

void NetworkLine::OnResolved(const Resolved& result) {
    lookup_.reset();
    if (result.gaiError) return Fail(FromResolver(result.gaiError, result.systemError));
    gensio_os_funcs* o = QtGensioFuncs();
    session_ = new Session;
    session_->line = this;
    session_->host = address_.host;
    gensio_addr* addresses = AddressesOf(o, result.addresses, address_.port);
    if (!addresses) return Fail(FromErrno(ENOMEM));
    const char* const tcpArgs[] = {"nodelay", nullptr};
    int error = gensio_terminal_alloc("tcp", addresses, tcpArgs, o, Session::OnEvent, session_, &session_->transport);
    gensio_addr_free(addresses);
    if (error) return Fail(FromGensio(error));
    if (address_.tls) {
        const std::string ca = address_.caFile.empty() ? kSystemCaStore : address_.caFile;
        if (::access(ca.c_str(), R_OK) != 0) {
            return Fail({SEC_E_UNTRUSTED_ROOT, "TLS refused: cannot read " + ca + ": " + std::strerror(errno)});
        }
        const std::string caArg = "CA=" + ca;
        const char* const tlsArgs[] = {caArg.c_str(), "mode=client", nullptr};
        gensio* tls = nullptr;
        error = gensio_filter_alloc("ssl", session_->transport, tlsArgs, o, Session::OnEvent, session_, &tls);
        if (error) return Fail(FromGensio(error));
        session_->transport = tls;
    }
    state_ = State::Connecting;
    error = gensio_open(
        session_->transport,
        [](gensio*, int e, void* data) {
            if (auto* line = static_cast<Session*>(data)->line) line->OnTransportOpen(e);
        },
        session_);
    if (error) Fail(FromGensio(error));
}

void NetworkLine::OnTransportOpen(int error) {
    if (address_.tls && session_->certificateError) return Fail(*session_->certificateError);
    if (error) return Fail(FromGensio(error));
    // Never trust a TLS connection whose certificate this line did not see checked.
    if (address_.tls && !session_->certificateChecked) {
        return Fail({SEC_E_CERT_UNKNOWN, "TLS refused: the server's certificate was not checked"});
    }
    if (address_.framing == Framing::Raw) return Ready();
    const char* const telnetArgs[] = {"rfc2217=true", "mode=client", nullptr};
    error = gensio_filter_alloc("telnet", session_->transport, telnetArgs, QtGensioFuncs(), Session::OnEvent, session_,
                                &session_->top);
    if (error) return Fail(FromGensio(error));
    state_ = State::Negotiating;
    error = gensio_open_nochild(
        session_->top,
        [](gensio*, int e, void* data) {
            if (auto* line = static_cast<Session*>(data)->line) line->OnTelnetOpen(e);
        },
        session_);
    if (error) Fail(FromGensio(error));
}

void NetworkLine::OnTelnetOpen(int error) {
    if (error) return Fail(FromGensio(error));
    // Reading lets the telnet negotiation go on: a server that offers COM-PORT with its own WILL
    // (pyserial's does) before answering ours with DO has that DO still on its way.
    gensio_set_read_callback_enable(session_->top, true);
    settingTries_ = 0;
    SetFarLine();
}

// The far end's line is set as a local line is opened: the requests travel in the telnet stream
// ahead of any data, so the server applies them before the first byte typed.
void NetworkLine::SetFarLine() {
    sergensio* serial = gensio_to_sergensio(session_->top);
    const int error = serial ? sergensio_baud(serial, settings_.baud, Session::Answered, session_) : GE_NOTSUP;
    if (error == GE_NOTSUP && ++settingTries_ < kSettingTries) {
        QTimer::singleShot(kSettingRetry, this, [this, connection = connection_] {
            if (connection_ == connection && state_ == State::Negotiating) SetFarLine();
        });
        return;
    }
    if (error) return Fail({ERROR_NOT_SUPPORTED, "the server does not offer RFC 2217 (telnet COM-PORT option)"});
    session_->unanswered = 1;
    const auto asked = [this](int result) { session_->unanswered += result == 0 ? 1 : 0; };
    asked(sergensio_datasize(serial, 8, Session::Answered, session_));
    asked(sergensio_parity(serial, SERGENSIO_PARITY_NONE, Session::Answered, session_));
    asked(sergensio_stopbits(serial, 1, Session::Answered, session_));
    asked(sergensio_dtr(serial, settings_.dtr ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF, Session::Answered, session_));
    asked(sergensio_rts(serial, settings_.rts ? SERGENSIO_RTS_ON : SERGENSIO_RTS_OFF, Session::Answered, session_));
    Ready();
}

void NetworkLine::Ready() {
    openTimer_.stop();
    state_ = State::Open;
    if (!session_->top) session_->top = session_->transport;
    gensio_set_read_callback_enable(session_->top, true);
    emit opened();
    // What the server sent during the telnet negotiation, once the owner can read it.
    if (!input_.empty() && state_ == State::Open) Announce();
}

void NetworkLine::Fail(comm::LineError why) {
    close();
    emit openFailed(why);
}

void NetworkLine::OnData(const unsigned char* data, size_t& length) {
    length = std::min(length, kInputLimit - std::min(kInputLimit, input_.size()));
    input_.insert(input_.end(), data, data + length);
    if (input_.size() >= kInputLimit) gensio_set_read_callback_enable(session_->top, false);
    if (length > 0 && state_ == State::Open) Announce();
}

// One readyRead per arrival until the owner reads again.
void NetworkLine::Announce() {
    if (!readArmed_) return;
    readArmed_ = false;
    emit readyRead();
}

uint32_t NetworkLine::read(uint8_t* buffer, size_t size, size_t& count) {
    count = 0;
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    readArmed_ = true;
    count = std::min(size, input_.size());
    std::copy_n(input_.begin(), count, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(count));
    if (count > 0 && state_ == State::Open && input_.size() + kReadChunk <= kInputLimit) {
        gensio_set_read_callback_enable(session_->top, true);
    }
    // Data left over is told again from the loop; an owner that read nothing is not told again.
    if (count > 0 && !input_.empty()) {
        QMetaObject::invokeMethod(
            this,
            [this, connection = connection_] {
                if (connection_ == connection && !input_.empty()) Announce();
            },
            Qt::QueuedConnection);
    }
    return ERROR_SUCCESS;
}

// The connection broke. An open line stays open for its owner, who closes it (as a local line
// after a hang-up): what arrived before can still be read, writes fail with the reason's code.
void NetworkLine::OnBroken(int error) {
    if (state_ == State::Open) {
        loss_ = FromGensio(error);
        Disconnect();
        state_ = State::Lost;
        emit lost(loss_);
    } else if (isOpening()) {
        Fail(FromGensio(error));
    }
}

uint32_t NetworkLine::write(const uint8_t* bytes, size_t length, size_t& count) {
    count = 0;
    if (state_ == State::Lost) return loss_.code;
    if (state_ != State::Open) return ERROR_INVALID_HANDLE;
    if (!output_.Add({bytes, length}, SendQueue::Clock::now())) return ERROR_TIMEOUT;
    count = length;
    Flush();
    return ERROR_SUCCESS;
}

void NetworkLine::Flush() {
    if (state_ != State::Open) return;
    while (!output_.Empty()) {
        const std::span<const uint8_t> next = output_.Next();
        gensiods count = 0;
        const int error = gensio_write(session_->top, &count, next.data(), next.size(), nullptr);
        if (error) {
            // Told from the event loop, not from inside the caller's write, and only if this
            // connection is still the line's by then.
            QMetaObject::invokeMethod(
                this,
                [this, error, connection = connection_] {
                    if (connection_ == connection) OnBroken(error);
                },
                Qt::QueuedConnection);
            return;
        }
        output_.Took(count);
        if (count < next.size()) break;
    }
    gensio_set_write_callback_enable(session_->top, !output_.Empty());
}

bool NetworkLine::awaitingServer() const { return session_ && session_->unanswered > 0; }

void NetworkLine::close() {
    Disconnect();
    state_ = State::Closed;
    input_.clear();
    readArmed_ = true;
}

void NetworkLine::Disconnect() {
    openTimer_.stop();
    lookup_.reset();
    if (session_) Dispose(session_);
    session_ = nullptr;
    ++connection_;
    output_.Clear();
}

size_t LiveSessions() { return g_sessions; }

}  // namespace tarvik::net
