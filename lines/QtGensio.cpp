#include "lines/QtGensio.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <gensio/gensio.h>
#include <gensio/gensio_err.h>
#include <gensio/gensio_os_funcs.h>
#include <gensio/gensio_osops.h>
#include <gensio/gensio_utils.h>
extern "C" {  // these two headers, meant for writers of os funcs, declare no C linkage themselves
#include <gensio/gensio_osops_addrinfo.h>
#include <gensio/gensio_osops_stdsock.h>
}

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <type_traits>

using tarvik::net::GensioActivity;

// gensio declares these and leaves them to its os funcs; ours are built on Qt's objects.
struct gensio_lock {
    std::mutex mutex;
};

// gensio may free a timer or runner from inside its own handler, so queued calls reach them
// through a flag that freeing clears, never through a Qt object that would die mid-call.
using Alive = std::shared_ptr<bool>;

struct gensio_timer {
    QTimer timer;
    void (*handler)(gensio_timer*, void*) = nullptr;
    void* cbData = nullptr;
    void (*doneHandler)(gensio_timer*, void*) = nullptr;
    void* doneData = nullptr;
    bool stopping = false;  // the done handler of a stop is queued
    Alive alive = std::make_shared<bool>(true);
};

struct gensio_runner {
    void (*handler)(gensio_runner*, void*) = nullptr;
    void* cbData = nullptr;
    bool queued = false;
    Alive alive = std::make_shared<bool>(true);
};

struct gensio_waiter {
    unsigned count = 0;
    QEventLoop* loop = nullptr;
};

namespace {

GensioActivity g_activity;
int g_lastUnnamedErrno = 0;

using IodHandler = void (*)(gensio_iod*, void*);

// An I/O descriptor: gensio holds a pointer to `r` and hands it back to every call.
struct QtIod {
    gensio_iod r;
    int fd;
    int type;
    void* sockinfo;
    stdio_mode* mode;
    void* cbData;
    IodHandler handlers[3];  // read, write, except
    IodHandler cleared;
    QSocketNotifier* notifiers[3];
    bool handlersSet;
    bool clearing;
    bool closeCalled;  // close_socket asked to be called again
};
static_assert(std::is_standard_layout_v<QtIod>, "gensio's iod must be the first member");

QtIod* Of(gensio_iod* iod) { return reinterpret_cast<QtIod*>(iod); }

// Where queued calls that belong to no object of their own run.
QObject* Host() {
    static QObject* host = new QObject();
    return host;
}

constexpr QSocketNotifier::Type kWatchTypes[3] = {QSocketNotifier::Read, QSocketNotifier::Write,
                                                  QSocketNotifier::Exception};

void SetWatch(gensio_iod* i, int which, bool enable) {
    QtIod* iod = Of(i);
    QSocketNotifier*& notifier = iod->notifiers[which];
    if (!enable || !iod->handlersSet || iod->clearing || !iod->handlers[which]) {
        if (notifier) notifier->setEnabled(false);
        return;
    }
    if (!notifier) {
        notifier = new QSocketNotifier(iod->fd, kWatchTypes[which]);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [iod, which] {
            ++g_activity.descriptorEvents;
            iod->handlers[which](&iod->r, iod->cbData);
        });
    }
    notifier->setEnabled(true);
}

void DisableWatches(QtIod* iod) {
    for (QSocketNotifier* notifier : iod->notifiers) {
        if (notifier) notifier->setEnabled(false);
    }
}

int SetFdHandlers(gensio_iod* i, void* cbData, IodHandler read, IodHandler write, IodHandler except,
                  IodHandler cleared) {
    QtIod* iod = Of(i);
    if (iod->handlersSet) return GE_INUSE;
    iod->cbData = cbData;
    iod->handlers[0] = read;
    iod->handlers[1] = write;
    iod->handlers[2] = except;
    iod->cleared = cleared;
    iod->handlersSet = true;
    return 0;
}

// gensio frees the descriptor only after the cleared handler, so that one is always queued: a
// handler may be on the stack right now.
void ClearFdHandlers(gensio_iod* i) {
    QtIod* iod = Of(i);
    if (!iod->handlersSet || iod->clearing) return;
    iod->clearing = true;
    DisableWatches(iod);
    QMetaObject::invokeMethod(
        Host(),
        [iod] {
            ++g_activity.queuedRuns;
            iod->handlersSet = false;
            iod->clearing = false;
            if (iod->cleared) iod->cleared(&iod->r, iod->cbData);
        },
        Qt::QueuedConnection);
}

void ClearFdHandlersNoReport(gensio_iod* i) {
    QtIod* iod = Of(i);
    DisableWatches(iod);
    iod->handlersSet = false;
}

int64_t ToMilliseconds(const gensio_time* time) {
    return time->secs * 1000 + (time->nsecs + 999999) / 1000000;  // rounded up: never early
}

void Now(gensio_time* time) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    time->secs = now.tv_sec;
    time->nsecs = static_cast<int32_t>(now.tv_nsec);
}

gensio_timer* AllocTimer(gensio_os_funcs*, void (*handler)(gensio_timer*, void*), void* cbData) {
    auto* timer = new gensio_timer;
    timer->handler = handler;
    timer->cbData = cbData;
    timer->timer.setSingleShot(true);
    timer->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer->timer, &QTimer::timeout, &timer->timer, [timer] {
        ++g_activity.timerFirings;
        timer->handler(timer, timer->cbData);
    });
    return timer;
}

void FreeTimer(gensio_timer* timer) {
    *timer->alive = false;
    delete timer;
}

int StartTimerIn(gensio_timer* timer, int64_t milliseconds) {
    if (timer->timer.isActive() || timer->stopping) return GE_INUSE;
    timer->timer.start(static_cast<int>(std::clamp<int64_t>(milliseconds, 0, INT_MAX)));
    return 0;
}

int StartTimer(gensio_timer* timer, gensio_time* timeout) { return StartTimerIn(timer, ToMilliseconds(timeout)); }

int StartTimerAbs(gensio_timer* timer, gensio_time* when) {
    gensio_time now{};
    Now(&now);
    return StartTimerIn(timer, ToMilliseconds(when) - (now.secs * 1000 + now.nsecs / 1000000));
}

int StopTimer(gensio_timer* timer) {
    if (!timer->timer.isActive()) return GE_TIMEDOUT;
    timer->timer.stop();
    return 0;
}

int StopTimerWithDone(gensio_timer* timer, void (*done)(gensio_timer*, void*), void* cbData) {
    if (timer->stopping) return GE_INUSE;
    if (!timer->timer.isActive()) return GE_TIMEDOUT;
    timer->timer.stop();
    timer->stopping = true;
    timer->doneHandler = done;
    timer->doneData = cbData;
    QMetaObject::invokeMethod(
        Host(),
        [timer, alive = timer->alive] {
            if (!*alive) return;
            ++g_activity.queuedRuns;
            timer->stopping = false;
            timer->doneHandler(timer, timer->doneData);
        },
        Qt::QueuedConnection);
    return 0;
}

gensio_runner* AllocRunner(gensio_os_funcs*, void (*handler)(gensio_runner*, void*), void* cbData) {
    auto* runner = new gensio_runner;
    runner->handler = handler;
    runner->cbData = cbData;
    return runner;
}

void FreeRunner(gensio_runner* runner) {
    *runner->alive = false;
    delete runner;
}

int Run(gensio_runner* runner) {
    if (runner->queued) return GE_INUSE;
    runner->queued = true;
    QMetaObject::invokeMethod(
        Host(),
        [runner, alive = runner->alive] {
            if (!*alive) return;
            ++g_activity.queuedRuns;
            runner->queued = false;
            runner->handler(runner, runner->cbData);
        },
        Qt::QueuedConnection);
    return 0;
}

// Waiters serve gensio's blocking calls, which Tarvik does not make; they run a nested loop so
// that they would still work.
gensio_waiter* AllocWaiter(gensio_os_funcs*) { return new gensio_waiter; }
void FreeWaiter(gensio_waiter* waiter) { delete waiter; }

void Wake(gensio_waiter* waiter) {
    ++waiter->count;
    if (waiter->loop) waiter->loop->quit();
}

// Runs the loop until `done` or the time-out; false when the time ran out first.
template <typename Done>
bool RunLoopUntil(Done done, gensio_time* timeout, gensio_waiter* waiter) {
    gensio_time start{};
    Now(&start);
    const int64_t limit = timeout ? ToMilliseconds(timeout) : -1;
    int64_t left = limit;
    while (!done()) {
        if (timeout && left <= 0) break;
        QEventLoop loop;
        QTimer guard;
        if (timeout) QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (timeout) guard.start(static_cast<int>(std::min<int64_t>(left, INT_MAX)));
        if (waiter) waiter->loop = &loop;
        loop.exec();
        if (waiter) waiter->loop = nullptr;
        gensio_time now{};
        Now(&now);
        left = limit - ((now.secs - start.secs) * 1000 + (now.nsecs - start.nsecs) / 1000000);
    }
    if (timeout) {
        const int64_t remaining = std::max<int64_t>(left, 0);
        timeout->secs = remaining / 1000;
        timeout->nsecs = static_cast<int32_t>(remaining % 1000 * 1000000);
    }
    return done();
}

int Wait(gensio_waiter* waiter, unsigned count, gensio_time* timeout) {
    if (!RunLoopUntil([waiter, count] { return waiter->count >= count; }, timeout, waiter)) return GE_TIMEDOUT;
    waiter->count -= count;
    return 0;
}

int WaitIntrSigmask(gensio_waiter* waiter, unsigned count, gensio_time* timeout, gensio_os_proc_data*) {
    return Wait(waiter, count, timeout);
}

int Service(gensio_os_funcs*, gensio_time* timeout) {
    bool timedOut = false;
    QTimer guard;
    if (timeout) {
        QObject::connect(&guard, &QTimer::timeout, [&timedOut] { timedOut = true; });
        guard.setSingleShot(true);
        guard.start(static_cast<int>(std::min<int64_t>(ToMilliseconds(timeout), INT_MAX)));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return timedOut ? GE_TIMEDOUT : 0;
}

void VLog(gensio_os_funcs*, gensio_log_levels level, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    // "Unhandled OS error in <where>:<line>: <the system's words> (<errno>)"
    const std::string_view line = text;
    const size_t open = line.rfind(" (");
    if (line.starts_with("Unhandled OS error") && open != std::string_view::npos) {
        g_lastUnnamedErrno = std::atoi(text + open + 2);
    }
    if (std::getenv("TARVIK_GENSIO_LOG")) {
        std::fprintf(stderr, "tarvik: gensio %s: %s\n", gensio_log_level_to_str(level), text);
    }
}

int AddIod(gensio_os_funcs* o, gensio_iod_type type, intptr_t fd, gensio_iod** result) {
    // Network lines use sockets; gensio's devices, files and terminals belong to its other
    // handlers and are not offered here.
    if (type != GENSIO_IOD_SOCKET && type != GENSIO_IOD_PIPE) return GE_NOTSUP;
    auto* iod = static_cast<QtIod*>(std::calloc(1, sizeof(QtIod)));
    if (!iod) return GE_NOMEM;
    iod->r.f = o;
    iod->fd = static_cast<int>(fd);
    iod->type = type;
    *result = &iod->r;
    return 0;
}

void ReleaseIod(gensio_iod* i) {
    QtIod* iod = Of(i);
    // Possibly from inside one of these notifiers' own signal (gensio drops a socket whose
    // connect failed from its write handler): disabled now, deleted once the loop is back.
    for (QSocketNotifier* notifier : iod->notifiers) {
        if (!notifier) continue;
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    std::free(iod);
}

int IodGetType(gensio_iod* i) { return Of(i)->type; }
int IodGetFd(gensio_iod* i) { return Of(i)->fd; }

int IodControl(gensio_iod* i, int op, bool get, intptr_t value) {
    QtIod* iod = Of(i);
    if (iod->type != GENSIO_IOD_SOCKET || op != GENSIO_IOD_CONTROL_SOCKINFO) return GE_NOTSUP;
    if (get) {
        *reinterpret_cast<void**>(value) = iod->sockinfo;
    } else {
        iod->sockinfo = reinterpret_cast<void*>(value);
    }
    return 0;
}

int SetNonBlocking(gensio_iod* i) { return gensio_unix_do_nonblock(i->f, Of(i)->fd, &Of(i)->mode); }

int Close(gensio_iod** pointer) {
    gensio_iod* i = *pointer;
    QtIod* iod = Of(i);
    gensio_os_funcs* o = i->f;
    gensio_unix_do_cleanup_nonblock(o, iod->fd, &iod->mode);
    int error = 0;
    if (iod->type == GENSIO_IOD_SOCKET) {
        error = o->close_socket(i, iod->closeCalled, false);
        iod->closeCalled = error == GE_INPROGRESS;
        if (error == GE_INPROGRESS) return error;
    } else if (::close(iod->fd) != 0) {
        error = gensio_os_err_to_err(o, errno);
    }
    o->release_iod(i);
    *pointer = nullptr;
    return error;
}

// A read or write of 0 bytes that would block is no error; end of stream is the far end gone.
int Transferred(gensio_os_funcs* o, ssize_t result, gensiods* count) {
    if (result < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) result = 0;
        else return gensio_os_err_to_err(o, errno);
    }
    if (count) *count = static_cast<gensiods>(result);
    return 0;
}

int Write(gensio_iod* i, const gensio_sg* sg, gensiods sglen, gensiods* count) {
    ssize_t result;
    do {
        result = ::writev(Of(i)->fd, reinterpret_cast<const iovec*>(sg), static_cast<int>(sglen));
    } while (result < 0 && errno == EINTR);
    return Transferred(i->f, result, count);
}

int Read(gensio_iod* i, void* buffer, gensiods length, gensiods* count) {
    if (length == 0) return Transferred(i->f, 0, count);
    ssize_t result;
    do { result = ::read(Of(i)->fd, buffer, length); } while (result < 0 && errno == EINTR);
    if (result == 0) return GE_REMCLOSE;
    return Transferred(i->f, result, count);
}

bool IsRegularFile(gensio_os_funcs*, intptr_t fd) {
    struct stat info {};
    return ::fstat(static_cast<int>(fd), &info) == 0 && S_ISREG(info.st_mode);
}

int BufCount(gensio_iod* i, int which, gensiods* count) {
    return gensio_unix_get_bufcount(i->f, Of(i)->fd, which, count);
}

void Flush(gensio_iod* i, int which) { gensio_unix_do_flush(i->f, Of(i)->fd, which); }

int NotSupportedIod(gensio_iod*) { return GE_NOTSUP; }

int OpenDev(gensio_os_funcs*, const char*, int, gensio_iod**) { return GE_NOTSUP; }

int ExecSubprog(gensio_os_funcs*, const char*[], const char**, const char*, unsigned, intptr_t*, gensio_iod**,
                gensio_iod**, gensio_iod**) {
    return GE_NOTSUP;
}

int KillSubprog(gensio_os_funcs*, intptr_t, bool) { return GE_NOTSUP; }
int WaitSubprog(gensio_os_funcs*, intptr_t, int*) { return GE_NOTSUP; }

int GetRandom(gensio_os_funcs* o, void* data, unsigned length) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (length > 0) {
        const ssize_t got = ::getrandom(bytes, length, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return gensio_os_err_to_err(o, errno);
        bytes += got;
        length -= static_cast<unsigned>(got);
    }
    return 0;
}

void CallOnce(gensio_os_funcs*, gensio_once* once, void (*func)(void*), void* cbData) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> hold(mutex);
    if (once->called) return;
    once->called = true;
    func(cbData);
}

int Control(gensio_os_funcs*, int func, void*, gensiods*) {
    return func == GENSIO_CONTROL_SET_PROC_DATA ? 0 : GE_NOTSUP;
}

void SetEventHandling(gensio_os_funcs* o) {
    o->set_fd_handlers = SetFdHandlers;
    o->clear_fd_handlers = ClearFdHandlers;
    o->clear_fd_handlers_norpt = ClearFdHandlersNoReport;
    o->set_read_handler = [](gensio_iod* iod, bool enable) { SetWatch(iod, 0, enable); };
    o->set_write_handler = [](gensio_iod* iod, bool enable) { SetWatch(iod, 1, enable); };
    o->set_except_handler = [](gensio_iod* iod, bool enable) { SetWatch(iod, 2, enable); };
    o->alloc_timer = AllocTimer;
    o->free_timer = FreeTimer;
    o->start_timer = StartTimer;
    o->start_timer_abs = StartTimerAbs;
    o->stop_timer = StopTimer;
    o->stop_timer_with_done = StopTimerWithDone;
    o->alloc_runner = AllocRunner;
    o->free_runner = FreeRunner;
    o->run = Run;
    o->alloc_waiter = AllocWaiter;
    o->free_waiter = FreeWaiter;
    o->wait = Wait;
    o->wait_intr = Wait;
    o->wait_intr_sigmask = WaitIntrSigmask;
    o->wake = Wake;
    o->service = Service;
}

void SetDescriptors(gensio_os_funcs* o) {
    o->add_iod = AddIod;
    o->release_iod = ReleaseIod;
    o->iod_get_type = IodGetType;
    o->iod_get_fd = IodGetFd;
    o->iod_control = IodControl;
    o->set_non_blocking = SetNonBlocking;
    o->close = Close;
    o->graceful_close = Close;
    o->write = Write;
    o->read = Read;
    o->is_regfile = IsRegularFile;
    o->bufcount = BufCount;
    o->flush = Flush;
    o->makeraw = NotSupportedIod;
    o->open_dev = OpenDev;
    o->exec_subprog = ExecSubprog;
    o->kill_subprog = KillSubprog;
    o->wait_subprog = WaitSubprog;
}

gensio_os_funcs* Make() {
    auto* o = static_cast<gensio_os_funcs*>(std::calloc(1, sizeof(gensio_os_funcs)));
    o->zalloc = [](gensio_os_funcs*, gensiods size) { return std::calloc(1, size); };
    o->free = [](gensio_os_funcs*, void* data) { std::free(data); };
    o->alloc_lock = [](gensio_os_funcs*) { return new gensio_lock; };
    o->free_lock = [](gensio_lock* lock) { delete lock; };
    o->lock = [](gensio_lock* lock) { lock->mutex.lock(); };
    o->unlock = [](gensio_lock* lock) { lock->mutex.unlock(); };
    SetEventHandling(o);
    // The handler lives as long as the process; gensio's counting of its users changes nothing.
    o->get_wake_sig = [](gensio_os_funcs*) { return 0; };
    o->get_funcs = [](gensio_os_funcs* f) { return f; };
    o->free_funcs = [](gensio_os_funcs*) {};
    o->call_once = CallOnce;
    o->get_monotonic_time = [](gensio_os_funcs*, gensio_time* time) { Now(time); };
    o->vlog = VLog;
    o->handle_fork = [](gensio_os_funcs*) { return 0; };
    o->get_random = GetRandom;
    SetDescriptors(o);
    o->control = Control;
    gensio_addr_addrinfo_set_os_funcs(o);
    if (gensio_stdsock_set_os_funcs(o) != 0) std::abort();
    // gensio sends on its sockets without MSG_NOSIGNAL: a send on a connection the server has
    // closed would end Tarvik with SIGPIPE instead of failing with EPIPE, which the line reports
    // as lost.
    std::signal(SIGPIPE, SIG_IGN);
    // Failures gensio has no code for are logged at INFO; keep them so their words reach the user.
    gensio_set_log_mask(gensio_get_log_mask() | (1u << GENSIO_LOG_INFO));
    return o;
}

}  // namespace

namespace tarvik::net {

gensio_os_funcs* QtGensioFuncs() {
    static gensio_os_funcs* funcs = Make();
    return funcs;
}

GensioActivity QtGensioActivity() { return g_activity; }

int LastUnnamedErrno() { return g_lastUnnamedErrno; }

}  // namespace tarvik::net
