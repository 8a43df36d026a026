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

GensioActivity gActivity;
int gLastUnnamedErrno = 0;

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

QtIod* of(gensio_iod* iod) { return reinterpret_cast<QtIod*>(iod); }

// Where queued calls that belong to no object of their own run.
QObject* host() {
    static QObject* host = new QObject();
    return host;
}

constexpr QSocketNotifier::Type WatchTypes[3] = {QSocketNotifier::Read, QSocketNotifier::Write,
                                                 QSocketNotifier::Exception};

void setWatch(gensio_iod* i, int which, bool enable) {
    QtIod* iod = of(i);
    QSocketNotifier*& notifier = iod->notifiers[which];
    if (!enable || !iod->handlersSet || iod->clearing || !iod->handlers[which]) {
        if (notifier) notifier->setEnabled(false);
        return;
    }
    if (!notifier) {
        notifier = new QSocketNotifier(iod->fd, WatchTypes[which]);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [iod, which] {
            ++gActivity.descriptorEvents;
            iod->handlers[which](&iod->r, iod->cbData);
        });
    }
    notifier->setEnabled(true);
}

void disableWatches(QtIod* iod) {
    for (QSocketNotifier* notifier : iod->notifiers) {
        if (notifier) notifier->setEnabled(false);
    }
}

int setFdHandlers(gensio_iod* i, void* cbData, IodHandler read, IodHandler write, IodHandler except,
                  IodHandler cleared) {
    QtIod* iod = of(i);
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
void clearFdHandlers(gensio_iod* i) {
    QtIod* iod = of(i);
    if (!iod->handlersSet || iod->clearing) return;
    iod->clearing = true;
    disableWatches(iod);
    QMetaObject::invokeMethod(
        host(),
        [iod] {
            ++gActivity.queuedRuns;
            iod->handlersSet = false;
            iod->clearing = false;
            if (iod->cleared) iod->cleared(&iod->r, iod->cbData);
        },
        Qt::QueuedConnection);
}

void clearFdHandlersNoReport(gensio_iod* i) {
    QtIod* iod = of(i);
    disableWatches(iod);
    iod->handlersSet = false;
}

int64_t toMilliseconds(const gensio_time* time) {
    return time->secs * 1000 + (time->nsecs + 999999) / 1000000;  // rounded up: never early
}

void currentTime(gensio_time* time) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    time->secs = now.tv_sec;
    time->nsecs = static_cast<int32_t>(now.tv_nsec);
}

gensio_timer* allocTimer(gensio_os_funcs*, void (*handler)(gensio_timer*, void*), void* cbData) {
    auto* timer = new gensio_timer;
    timer->handler = handler;
    timer->cbData = cbData;
    timer->timer.setSingleShot(true);
    timer->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer->timer, &QTimer::timeout, &timer->timer, [timer] {
        ++gActivity.timerFirings;
        timer->handler(timer, timer->cbData);
    });
    return timer;
}

void freeTimer(gensio_timer* timer) {
    *timer->alive = false;
    delete timer;
}

int startTimerIn(gensio_timer* timer, int64_t milliseconds) {
    if (timer->timer.isActive() || timer->stopping) return GE_INUSE;
    timer->timer.start(static_cast<int>(std::clamp<int64_t>(milliseconds, 0, INT_MAX)));
    return 0;
}

int startTimer(gensio_timer* timer, gensio_time* timeout) { return startTimerIn(timer, toMilliseconds(timeout)); }

int startTimerAbs(gensio_timer* timer, gensio_time* when) {
    gensio_time now{};
    currentTime(&now);
    return startTimerIn(timer, toMilliseconds(when) - (now.secs * 1000 + now.nsecs / 1000000));
}

int stopTimer(gensio_timer* timer) {
    if (!timer->timer.isActive()) return GE_TIMEDOUT;
    timer->timer.stop();
    return 0;
}

int stopTimerWithDone(gensio_timer* timer, void (*done)(gensio_timer*, void*), void* cbData) {
    if (timer->stopping) return GE_INUSE;
    if (!timer->timer.isActive()) return GE_TIMEDOUT;
    timer->timer.stop();
    timer->stopping = true;
    timer->doneHandler = done;
    timer->doneData = cbData;
    QMetaObject::invokeMethod(
        host(),
        [timer, alive = timer->alive] {
            if (!*alive) return;
            ++gActivity.queuedRuns;
            timer->stopping = false;
            timer->doneHandler(timer, timer->doneData);
        },
        Qt::QueuedConnection);
    return 0;
}

gensio_runner* allocRunner(gensio_os_funcs*, void (*handler)(gensio_runner*, void*), void* cbData) {
    auto* runner = new gensio_runner;
    runner->handler = handler;
    runner->cbData = cbData;
    return runner;
}

void freeRunner(gensio_runner* runner) {
    *runner->alive = false;
    delete runner;
}

int run(gensio_runner* runner) {
    if (runner->queued) return GE_INUSE;
    runner->queued = true;
    QMetaObject::invokeMethod(
        host(),
        [runner, alive = runner->alive] {
            if (!*alive) return;
            ++gActivity.queuedRuns;
            runner->queued = false;
            runner->handler(runner, runner->cbData);
        },
        Qt::QueuedConnection);
    return 0;
}

// Waiters serve gensio's blocking calls, which Tarvik does not make; they run a nested loop so
// that they would still work.
gensio_waiter* allocWaiter(gensio_os_funcs*) { return new gensio_waiter; }
void freeWaiter(gensio_waiter* waiter) { delete waiter; }

void wake(gensio_waiter* waiter) {
    ++waiter->count;
    if (waiter->loop) waiter->loop->quit();
}

// Runs the loop until `done` or the time-out; false when the time ran out first.
template <typename Done>
bool runLoopUntil(Done done, gensio_time* timeout, gensio_waiter* waiter) {
    gensio_time start{};
    currentTime(&start);
    const int64_t limit = timeout ? toMilliseconds(timeout) : -1;
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
        currentTime(&now);
        left = limit - ((now.secs - start.secs) * 1000 + (now.nsecs - start.nsecs) / 1000000);
    }
    if (timeout) {
        const int64_t remaining = std::max<int64_t>(left, 0);
        timeout->secs = remaining / 1000;
        timeout->nsecs = static_cast<int32_t>(remaining % 1000 * 1000000);
    }
    return done();
}

int wait(gensio_waiter* waiter, unsigned count, gensio_time* timeout) {
    if (!runLoopUntil([waiter, count] { return waiter->count >= count; }, timeout, waiter)) return GE_TIMEDOUT;
    waiter->count -= count;
    return 0;
}

int waitIntrSigmask(gensio_waiter* waiter, unsigned count, gensio_time* timeout, gensio_os_proc_data*) {
    return wait(waiter, count, timeout);
}

int service(gensio_os_funcs*, gensio_time* timeout) {
    bool timedOut = false;
    QTimer guard;
    if (timeout) {
        QObject::connect(&guard, &QTimer::timeout, [&timedOut] { timedOut = true; });
        guard.setSingleShot(true);
        guard.start(static_cast<int>(std::min<int64_t>(toMilliseconds(timeout), INT_MAX)));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return timedOut ? GE_TIMEDOUT : 0;
}

void vLog(gensio_os_funcs*, gensio_log_levels level, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    // "Unhandled OS error in <where>:<line>: <the system's words> (<errno>)"
    const std::string_view line = text;
    const size_t open = line.rfind(" (");
    if (line.starts_with("Unhandled OS error") && open != std::string_view::npos) {
        gLastUnnamedErrno = std::atoi(text + open + 2);
    }
    if (std::getenv("TARVIK_GENSIO_LOG")) {
        std::fprintf(stderr, "tarvik: gensio %s: %s\n", gensio_log_level_to_str(level), text);
    }
}

int addIod(gensio_os_funcs* o, gensio_iod_type type, intptr_t fd, gensio_iod** result) {
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

void releaseIod(gensio_iod* i) {
    QtIod* iod = of(i);
    // Possibly from inside one of these notifiers' own signal (gensio drops a socket whose
    // connect failed from its write handler): disabled now, deleted once the loop is back.
    for (QSocketNotifier* notifier : iod->notifiers) {
        if (!notifier) continue;
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    std::free(iod);
}

int iodGetType(gensio_iod* i) { return of(i)->type; }
int iodGetFd(gensio_iod* i) { return of(i)->fd; }

int iodControl(gensio_iod* i, int op, bool get, intptr_t value) {
    QtIod* iod = of(i);
    if (iod->type != GENSIO_IOD_SOCKET || op != GENSIO_IOD_CONTROL_SOCKINFO) return GE_NOTSUP;
    if (get) {
        *reinterpret_cast<void**>(value) = iod->sockinfo;
    } else {
        iod->sockinfo = reinterpret_cast<void*>(value);
    }
    return 0;
}

int setNonBlocking(gensio_iod* i) { return gensio_unix_do_nonblock(i->f, of(i)->fd, &of(i)->mode); }

int close(gensio_iod** pointer) {
    gensio_iod* i = *pointer;
    QtIod* iod = of(i);
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
int transferred(gensio_os_funcs* o, ssize_t result, gensiods* count) {
    if (result < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) result = 0;
        else return gensio_os_err_to_err(o, errno);
    }
    if (count) *count = static_cast<gensiods>(result);
    return 0;
}

int write(gensio_iod* i, const gensio_sg* sg, gensiods sglen, gensiods* count) {
    ssize_t result;
    do {
        result = ::writev(of(i)->fd, reinterpret_cast<const iovec*>(sg), static_cast<int>(sglen));
    } while (result < 0 && errno == EINTR);
    return transferred(i->f, result, count);
}

int read(gensio_iod* i, void* buffer, gensiods length, gensiods* count) {
    if (length == 0) return transferred(i->f, 0, count);
    ssize_t result;
    do { result = ::read(of(i)->fd, buffer, length); } while (result < 0 && errno == EINTR);
    if (result == 0) return GE_REMCLOSE;
    return transferred(i->f, result, count);
}

bool isRegularFile(gensio_os_funcs*, intptr_t fd) {
    struct stat info {};
    return ::fstat(static_cast<int>(fd), &info) == 0 && S_ISREG(info.st_mode);
}

int bufCount(gensio_iod* i, int which, gensiods* count) {
    return gensio_unix_get_bufcount(i->f, of(i)->fd, which, count);
}

void flush(gensio_iod* i, int which) { gensio_unix_do_flush(i->f, of(i)->fd, which); }

int notSupportedIod(gensio_iod*) { return GE_NOTSUP; }

int openDev(gensio_os_funcs*, const char*, int, gensio_iod**) { return GE_NOTSUP; }

int execSubprog(gensio_os_funcs*, const char*[], const char**, const char*, unsigned, intptr_t*, gensio_iod**,
                gensio_iod**, gensio_iod**) {
    return GE_NOTSUP;
}

int killSubprog(gensio_os_funcs*, intptr_t, bool) { return GE_NOTSUP; }
int waitSubprog(gensio_os_funcs*, intptr_t, int*) { return GE_NOTSUP; }

int getRandom(gensio_os_funcs* o, void* data, unsigned length) {
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

void callOnce(gensio_os_funcs*, gensio_once* once, void (*func)(void*), void* cbData) {
    static std::mutex mutex;
    std::lock_guard<std::mutex> hold(mutex);
    if (once->called) return;
    once->called = true;
    func(cbData);
}

int control(gensio_os_funcs*, int func, void*, gensiods*) {
    return func == GENSIO_CONTROL_SET_PROC_DATA ? 0 : GE_NOTSUP;
}

void setEventHandling(gensio_os_funcs* o) {
    o->set_fd_handlers = setFdHandlers;
    o->clear_fd_handlers = clearFdHandlers;
    o->clear_fd_handlers_norpt = clearFdHandlersNoReport;
    o->set_read_handler = [](gensio_iod* iod, bool enable) { setWatch(iod, 0, enable); };
    o->set_write_handler = [](gensio_iod* iod, bool enable) { setWatch(iod, 1, enable); };
    o->set_except_handler = [](gensio_iod* iod, bool enable) { setWatch(iod, 2, enable); };
    o->alloc_timer = allocTimer;
    o->free_timer = freeTimer;
    o->start_timer = startTimer;
    o->start_timer_abs = startTimerAbs;
    o->stop_timer = stopTimer;
    o->stop_timer_with_done = stopTimerWithDone;
    o->alloc_runner = allocRunner;
    o->free_runner = freeRunner;
    o->run = run;
    o->alloc_waiter = allocWaiter;
    o->free_waiter = freeWaiter;
    o->wait = wait;
    o->wait_intr = wait;
    o->wait_intr_sigmask = waitIntrSigmask;
    o->wake = wake;
    o->service = service;
}

void setDescriptors(gensio_os_funcs* o) {
    o->add_iod = addIod;
    o->release_iod = releaseIod;
    o->iod_get_type = iodGetType;
    o->iod_get_fd = iodGetFd;
    o->iod_control = iodControl;
    o->set_non_blocking = setNonBlocking;
    o->close = close;
    o->graceful_close = close;
    o->write = write;
    o->read = read;
    o->is_regfile = isRegularFile;
    o->bufcount = bufCount;
    o->flush = flush;
    o->makeraw = notSupportedIod;
    o->open_dev = openDev;
    o->exec_subprog = execSubprog;
    o->kill_subprog = killSubprog;
    o->wait_subprog = waitSubprog;
}

gensio_os_funcs* make() {
    auto* o = static_cast<gensio_os_funcs*>(std::calloc(1, sizeof(gensio_os_funcs)));
    o->zalloc = [](gensio_os_funcs*, gensiods size) { return std::calloc(1, size); };
    o->free = [](gensio_os_funcs*, void* data) { std::free(data); };
    o->alloc_lock = [](gensio_os_funcs*) { return new gensio_lock; };
    o->free_lock = [](gensio_lock* lock) { delete lock; };
    o->lock = [](gensio_lock* lock) { lock->mutex.lock(); };
    o->unlock = [](gensio_lock* lock) { lock->mutex.unlock(); };
    setEventHandling(o);
    // The handler lives as long as the process; gensio's counting of its users changes nothing.
    o->get_wake_sig = [](gensio_os_funcs*) { return 0; };
    o->get_funcs = [](gensio_os_funcs* f) { return f; };
    o->free_funcs = [](gensio_os_funcs*) {};
    o->call_once = callOnce;
    o->get_monotonic_time = [](gensio_os_funcs*, gensio_time* time) { currentTime(time); };
    o->vlog = vLog;
    o->handle_fork = [](gensio_os_funcs*) { return 0; };
    o->get_random = getRandom;
    setDescriptors(o);
    o->control = control;
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

gensio_os_funcs* qtGensioFuncs() {
    static gensio_os_funcs* funcs = make();
    return funcs;
}

GensioActivity qtGensioActivity() { return gActivity; }

int lastUnnamedErrno() { return gLastUnnamedErrno; }

}  // namespace tarvik::net
