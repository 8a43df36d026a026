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
constexpr const char* SystemCaStore = "/etc/ssl/certs/";
// Received bytes kept for the reader before gensio is told to stop reading: the connection's
// own flow control then holds the far end back instead of this buffer growing.
constexpr size_t InputLimit = 64 * 1024;
constexpr size_t ReadChunk = 4096;
// How long an RFC 2217 server may take to agree to COM-PORT after the telnet layer opened.
constexpr int SettingTries = 20;
constexpr std::chrono::milliseconds SettingRetry{100};

}  // namespace

namespace {
size_t gSessions = 0;  // sessions alive: a line's, or one gensio is still closing
}  // namespace

// gensio's side of one connection. Its callbacks reach the line through `line`, which the line
// clears when it lets go; the session then lives on until gensio has closed and freed the stack.
struct Session {
    Session() { ++gSessions; }
    ~Session() { --gSessions; }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    NetworkLine* line = nullptr;
    gensio* transport = nullptr;  // tcp, or ssl over tcp: what opens first
    gensio* top = nullptr;        // what is read and written: the transport, or telnet over it
    std::string host;             // the name the server's certificate must carry
    bool certificateChecked = false;
    std::optional<comm::LineError> certificateError;
    int unanswered = 0;  // RFC 2217 requests the server has neither answered nor timed out

    gensio* outermost() const { return top ? top : transport; }
    static int onEvent(gensio* io, void* data, int event, int error, unsigned char* buffer, gensiods* length,
                       const char* const* auxdata);
    static void answered(sergensio*, int, unsigned, void* data) { --static_cast<Session*>(data)->unanswered; }
};

namespace {

std::string peerCertificate(gensio* io) {
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
int checkCertificate(Session* session, gensio* io, int error, const char* const* auxdata) {
    session->certificateChecked = true;
    if (error) {
        session->certificateError =
            fromCertificate(error, auxdata && auxdata[0] ? auxdata[0] : gensio_err_to_str(error));
        return error;
    }
    std::string why;
    if (!certificateNamesHost(peerCertificate(io), session->host, why)) {
        session->certificateError = comm::LineError{SEC_E_WRONG_PRINCIPAL, "TLS refused: " + why};
        return GE_CERTINVALID;
    }
    return 0;
}

}  // namespace

int Session::onEvent(gensio* io, void* data, int event, int error, unsigned char* buffer, gensiods* length,
                     const char* const* auxdata) {
    auto* session = static_cast<Session*>(data);
    NetworkLine* line = session->line;
    switch (event) {
        case GENSIO_EVENT_READ:
            if (!line || error) {
                if (line) line->onBroken(error);
                return 0;  // a let-go session takes and drops what is still arriving
            }
            {
                size_t taken = *length;
                line->onData(buffer, taken);
                *length = taken;
            }
            return 0;
        case GENSIO_EVENT_WRITE_READY:
            if (line) {
                line->flush();
            } else {
                gensio_set_write_callback_enable(io, false);
            }
            return 0;
        case GENSIO_EVENT_POSTCERT_VERIFY: return checkCertificate(session, io, error, auxdata);
        default: return GE_NOTSUP;
    }
}

namespace {

void closed(gensio* io, void* data) {
    gensio_free(io);
    delete static_cast<Session*>(data);
}

// Ends a session whose line has let go of it: gensio closes the stack (from its own callbacks
// too, which is allowed) and the session goes with it.
void dispose(Session* session) {
    session->line = nullptr;
    gensio* io = session->outermost();
    if (io && gensio_close(io, closed, session) == 0) return;
    if (io) gensio_free(io);
    delete session;
}

gensio_addr* addressesOf(gensio_os_funcs* o, const std::vector<sockaddr_storage>& found, uint16_t port) {
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
      m_address(std::move(address)),
      m_settings(settings),
      m_output(settings.baud) {
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, [this] { fail(fromErrno(ETIMEDOUT)); });
}

NetworkLine::~NetworkLine() { close(); }

void NetworkLine::open() {
    if (isOpening() || m_state == State::Open) return;
    close();  // a lost line its owner did not close yet
    m_state = State::Resolving;
    m_openTimer.start(m_settings.openTimeout);
    m_lookup = resolve(m_address.host, m_address.port, this, [this](Resolved result) { onResolved(result); });
}

void NetworkLine::onResolved(const Resolved& result) {
    m_lookup.reset();
    if (result.gaiError) return fail(fromResolver(result.gaiError, result.systemError));
    gensio_os_funcs* o = qtGensioFuncs();
    m_session = new Session;
    m_session->line = this;
    m_session->host = m_address.host;
    gensio_addr* addresses = addressesOf(o, result.addresses, m_address.port);
    if (!addresses) return fail(fromErrno(ENOMEM));
    const char* const tcpArgs[] = {"nodelay", nullptr};
    int error = gensio_terminal_alloc("tcp", addresses, tcpArgs, o, Session::onEvent, m_session, &m_session->transport);
    gensio_addr_free(addresses);
    if (error) return fail(fromGensio(error));
    if (m_address.tls) {
        const std::string ca = m_address.caFile.empty() ? SystemCaStore : m_address.caFile;
        if (::access(ca.c_str(), R_OK) != 0) {
            return fail({SEC_E_UNTRUSTED_ROOT, "TLS refused: cannot read " + ca + ": " + std::strerror(errno)});
        }
        const std::string caArg = "CA=" + ca;
        const char* const tlsArgs[] = {caArg.c_str(), "mode=client", nullptr};
        gensio* tls = nullptr;
        error = gensio_filter_alloc("ssl", m_session->transport, tlsArgs, o, Session::onEvent, m_session, &tls);
        if (error) return fail(fromGensio(error));
        m_session->transport = tls;
    }
    m_state = State::Connecting;
    error = gensio_open(
        m_session->transport,
        [](gensio*, int e, void* data) {
            if (auto* line = static_cast<Session*>(data)->line) line->onTransportOpen(e);
        },
        m_session);
    if (error) fail(fromGensio(error));
}

void NetworkLine::onTransportOpen(int error) {
    if (m_address.tls && m_session->certificateError) return fail(*m_session->certificateError);
    if (error) return fail(fromGensio(error));
    // Never trust a TLS connection whose certificate this line did not see checked.
    if (m_address.tls && !m_session->certificateChecked) {
        return fail({SEC_E_CERT_UNKNOWN, "TLS refused: the server's certificate was not checked"});
    }
    if (m_address.framing == Framing::Raw) return ready();
    const char* const telnetArgs[] = {"rfc2217=true", "mode=client", nullptr};
    error = gensio_filter_alloc("telnet", m_session->transport, telnetArgs, qtGensioFuncs(), Session::onEvent,
                                m_session, &m_session->top);
    if (error) return fail(fromGensio(error));
    m_state = State::Negotiating;
    error = gensio_open_nochild(
        m_session->top,
        [](gensio*, int e, void* data) {
            if (auto* line = static_cast<Session*>(data)->line) line->onTelnetOpen(e);
        },
        m_session);
    if (error) fail(fromGensio(error));
}

void NetworkLine::onTelnetOpen(int error) {
    if (error) return fail(fromGensio(error));
    // Reading lets the telnet negotiation go on: a server that offers COM-PORT with its own WILL
    // (pyserial's does) before answering ours with DO has that DO still on its way.
    gensio_set_read_callback_enable(m_session->top, true);
    m_settingTries = 0;
    setFarLine();
}

// The far end's line is set as a local line is opened: the requests travel in the telnet stream
// ahead of any data, so the server applies them before the first byte typed.
void NetworkLine::setFarLine() {
    sergensio* serial = gensio_to_sergensio(m_session->top);
    const int error = serial ? sergensio_baud(serial, m_settings.baud, Session::answered, m_session) : GE_NOTSUP;
    if (error == GE_NOTSUP && ++m_settingTries < SettingTries) {
        QTimer::singleShot(SettingRetry, this, [this, connection = m_connection] {
            if (m_connection == connection && m_state == State::Negotiating) setFarLine();
        });
        return;
    }
    if (error) return fail({ERROR_NOT_SUPPORTED, "the server does not offer RFC 2217 (telnet COM-PORT option)"});
    m_session->unanswered = 1;
    const auto asked = [this](int result) { m_session->unanswered += result == 0 ? 1 : 0; };
    asked(sergensio_datasize(serial, 8, Session::answered, m_session));
    asked(sergensio_parity(serial, SERGENSIO_PARITY_NONE, Session::answered, m_session));
    asked(sergensio_stopbits(serial, 1, Session::answered, m_session));
    asked(sergensio_dtr(serial, m_settings.dtr ? SERGENSIO_DTR_ON : SERGENSIO_DTR_OFF, Session::answered, m_session));
    asked(sergensio_rts(serial, m_settings.rts ? SERGENSIO_RTS_ON : SERGENSIO_RTS_OFF, Session::answered, m_session));
    ready();
}

void NetworkLine::ready() {
    m_openTimer.stop();
    m_state = State::Open;
    if (!m_session->top) m_session->top = m_session->transport;
    gensio_set_read_callback_enable(m_session->top, true);
    emit opened();
    // What the server sent during the telnet negotiation, once the owner can read it.
    if (!m_input.empty() && m_state == State::Open) announce();
}

void NetworkLine::fail(comm::LineError why) {
    close();
    emit openFailed(why);
}

void NetworkLine::onData(const unsigned char* data, size_t& length) {
    length = std::min(length, InputLimit - std::min(InputLimit, m_input.size()));
    m_input.insert(m_input.end(), data, data + length);
    if (m_input.size() >= InputLimit) gensio_set_read_callback_enable(m_session->top, false);
    if (length > 0 && m_state == State::Open) announce();
}

// One readyRead per arrival until the owner reads again.
void NetworkLine::announce() {
    if (!m_readArmed) return;
    m_readArmed = false;
    emit readyRead();
}

uint32_t NetworkLine::read(uint8_t* buffer, size_t size, size_t& count) {
    count = 0;
    if (!isOpen()) return ERROR_INVALID_HANDLE;
    m_readArmed = true;
    count = std::min(size, m_input.size());
    std::copy_n(m_input.begin(), count, buffer);
    m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(count));
    if (count > 0 && m_state == State::Open && m_input.size() + ReadChunk <= InputLimit) {
        gensio_set_read_callback_enable(m_session->top, true);
    }
    // Data left over is told again from the loop; an owner that read nothing is not told again.
    if (count > 0 && !m_input.empty()) {
        QMetaObject::invokeMethod(
            this,
            [this, connection = m_connection] {
                if (m_connection == connection && !m_input.empty()) announce();
            },
            Qt::QueuedConnection);
    }
    return ERROR_SUCCESS;
}

// The connection broke. An open line stays open for its owner, who closes it (as a local line
// after a hang-up): what arrived before can still be read, writes fail with the reason's code.
void NetworkLine::onBroken(int error) {
    if (m_state == State::Open) {
        m_loss = fromGensio(error);
        disconnectTransport();
        m_state = State::Lost;
        emit lost(m_loss);
    } else if (isOpening()) {
        fail(fromGensio(error));
    }
}

uint32_t NetworkLine::write(const uint8_t* bytes, size_t length, size_t& count) {
    count = 0;
    if (m_state == State::Lost) return m_loss.code;
    if (m_state != State::Open) return ERROR_INVALID_HANDLE;
    if (!m_output.add({bytes, length}, SendQueue::Clock::now())) return ERROR_TIMEOUT;
    count = length;
    flush();
    return ERROR_SUCCESS;
}

void NetworkLine::flush() {
    if (m_state != State::Open) return;
    while (!m_output.empty()) {
        const std::span<const uint8_t> next = m_output.next();
        gensiods count = 0;
        const int error = gensio_write(m_session->top, &count, next.data(), next.size(), nullptr);
        if (error) {
            // Told from the event loop, not from inside the caller's write, and only if this
            // connection is still the line's by then.
            QMetaObject::invokeMethod(
                this,
                [this, error, connection = m_connection] {
                    if (m_connection == connection) onBroken(error);
                },
                Qt::QueuedConnection);
            return;
        }
        m_output.took(count);
        if (count < next.size()) break;
    }
    gensio_set_write_callback_enable(m_session->top, !m_output.empty());
}

bool NetworkLine::awaitingServer() const { return m_session && m_session->unanswered > 0; }

void NetworkLine::close() {
    disconnectTransport();
    m_state = State::Closed;
    m_input.clear();
    m_readArmed = true;
}

void NetworkLine::disconnectTransport() {
    m_openTimer.stop();
    m_lookup.reset();
    if (m_session) dispose(m_session);
    m_session = nullptr;
    ++m_connection;
    m_output.clear();
}

size_t liveSessions() { return gSessions; }

}  // namespace tarvik::net
