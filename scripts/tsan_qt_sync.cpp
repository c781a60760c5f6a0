// Preloaded into the ThreadSanitizer runs (scripts/tsan.sh). Qt comes from the system and is
// not instrumented, so the sanitizer cannot see how Qt orders threads: its mutexes, semaphores
// and wait conditions run on futexes, and queued calls travel through Qt's own event queues.
// Without that knowledge every field guarded by a QMutex and every buffer handed over by a
// queued signal would be reported as a race. This library sits in front of the Qt calls our
// code makes and tells the sanitizer the ordering each one implies:
//
//   QMutex lock / unlock, QBasicMutex slow paths    acquire / release on the mutex
//   QWaitCondition::wait(QMutex*)                    release, then acquire, on the mutex
//   QSemaphore acquire / release                     acquire / release on the semaphore
//   emitting a signal (QMetaObject::activate)        release on the sender
//   a queued call arriving (QObject::event)          acquire on its sender (or on the receiver
//                                                    for invokeMethod), release on the
//                                                    receiver's "done" key after the slot
//   QMetaObject::invokeMethod                        release on the receiver; a blocking call
//                                                    acquires the receiver's "done" key
//
// Keying queued calls on the sender is coarser than Qt's real per-event ordering (a slot is
// ordered after every earlier emit of its sender, not only the one that queued it), so it can
// hide a race that needs exactly that interleaving; it never invents one.
//
// Calls Qt makes to itself are bound inside the library and do not pass through here, which is
// fine: their effects on our data always reach us through one of the calls above.
//
// Built without instrumentation; the sanitizer's annotation entry points are found at run time.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QWaitCondition>

#include <dlfcn.h>
#include <cstdio>
#include <cstdlib>

#if QT_VERSION < QT_VERSION_CHECK(5, 14, 0) || QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#error "the queued-call layout below is that of Qt 5.14 and 5.15"
#endif

extern "C" {
void __tsan_acquire(void* addr) __attribute__((weak));
void __tsan_release(void* addr) __attribute__((weak));
}

namespace {

void acquire(const void* p)
{
    if (__tsan_acquire && p)
        __tsan_acquire(const_cast<void*>(p));
}

void release(const void* p)
{
    if (__tsan_release && p)
        __tsan_release(const_cast<void*>(p));
}

// The receiver's second key: ordering from the end of a queued call back to a blocking caller.
const void* doneKey(const void* pObject) { return static_cast<const char*>(pObject) + 1; }

template <typename Fn>
Fn real(const char* pszMangled)
{
    void* p = dlsym(RTLD_NEXT, pszMangled);
    if (!p) {
        std::fprintf(stderr, "tsan_qt_sync: %s not found\n", pszMangled);
        std::abort();
    }
    return reinterpret_cast<Fn>(p);
}

// Sender of a queued call: the first field after QEvent in Qt's QAbstractMetaCallEvent (null for
// calls queued by invokeMethod).
const QObject* metaCallSender(const QEvent* e)
{
    static_assert(sizeof(QEvent) == 24, "QEvent layout of Qt 5");
    return *reinterpret_cast<const QObject* const*>(reinterpret_cast<const char*>(e) + sizeof(QEvent));
}

} // namespace

// ---- mutexes -------------------------------------------------------------------------------------

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto fn = real<void (*)(QMutex*)>("_ZN6QMutex4lockEv");
    fn(this);
    acquire(this);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto fn = real<bool (*)(QMutex*, int)>("_ZN6QMutex7tryLockEi");
    const bool bLocked = fn(this, timeout);
    if (bLocked)
        acquire(this);
    return bLocked;
}

void QMutex::unlock() noexcept
{
    static const auto fn = real<void (*)(QMutex*)>("_ZN6QMutex6unlockEv");
    release(this);
    fn(this);
}

// QBasicMutex locks inline and calls these only when contended; the inline atomics already
// carry the ordering of the uncontended case.
void QBasicMutex::lockInternal() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto fn = real<void (*)(QBasicMutex*)>("_ZN11QBasicMutex12lockInternalEv");
    fn(this);
    acquire(this);
}

bool QBasicMutex::lockInternal(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto fn = real<bool (*)(QBasicMutex*, int)>("_ZN11QBasicMutex12lockInternalEi");
    const bool bLocked = fn(this, timeout);
    if (bLocked)
        acquire(this);
    return bLocked;
}

void QBasicMutex::unlockInternal() noexcept
{
    static const auto fn = real<void (*)(QBasicMutex*)>("_ZN11QBasicMutex14unlockInternalEv");
    release(this);
    fn(this);
}

// ---- wait conditions and semaphores ----------------------------------------------------------------

bool QWaitCondition::wait(QMutex* lockedMutex, unsigned long time)
{
    static const auto fn = real<bool (*)(QWaitCondition*, QMutex*, unsigned long)>("_ZN14QWaitCondition4waitEP6QMutexm");
    release(lockedMutex);
    const bool bWoken = fn(this, lockedMutex, time);
    acquire(lockedMutex);
    return bWoken;
}

bool QWaitCondition::wait(QMutex* lockedMutex, QDeadlineTimer deadline)
{
    static const auto fn =
        real<bool (*)(QWaitCondition*, QMutex*, QDeadlineTimer)>("_ZN14QWaitCondition4waitEP6QMutex14QDeadlineTimer");
    release(lockedMutex);
    const bool bWoken = fn(this, lockedMutex, deadline);
    acquire(lockedMutex);
    return bWoken;
}

void QSemaphore::acquire(int n)
{
    static const auto fn = real<void (*)(QSemaphore*, int)>("_ZN10QSemaphore7acquireEi");
    fn(this, n);
    ::acquire(this);
}

bool QSemaphore::tryAcquire(int n)
{
    static const auto fn = real<bool (*)(QSemaphore*, int)>("_ZN10QSemaphore10tryAcquireEi");
    const bool bGot = fn(this, n);
    if (bGot)
        ::acquire(this);
    return bGot;
}

bool QSemaphore::tryAcquire(int n, int timeout)
{
    static const auto fn = real<bool (*)(QSemaphore*, int, int)>("_ZN10QSemaphore10tryAcquireEii");
    const bool bGot = fn(this, n, timeout);
    if (bGot)
        ::acquire(this);
    return bGot;
}

void QSemaphore::release(int n)
{
    static const auto fn = real<void (*)(QSemaphore*, int)>("_ZN10QSemaphore7releaseEi");
    ::release(this);
    fn(this, n);
}

// ---- signals and queued calls ------------------------------------------------------------------------

void QMetaObject::activate(QObject* sender, int signal_index, void** argv)
{
    static const auto fn = real<void (*)(QObject*, int, void**)>("_ZN11QMetaObject8activateEP7QObjectiPPv");
    release(sender);
    fn(sender, signal_index, argv);
}

void QMetaObject::activate(QObject* sender, const QMetaObject* m, int local_signal_index, void** argv)
{
    static const auto fn = real<void (*)(QObject*, const QMetaObject*, int, void**)>(
        "_ZN11QMetaObject8activateEP7QObjectPKS_iPPv");
    release(sender);
    fn(sender, m, local_signal_index, argv);
}

void QMetaObject::activate(QObject* sender, int signal_offset, int local_signal_index, void** argv)
{
    static const auto fn = real<void (*)(QObject*, int, int, void**)>("_ZN11QMetaObject8activateEP7QObjectiiPPv");
    release(sender);
    fn(sender, signal_offset, local_signal_index, argv);
}

bool QObject::event(QEvent* e)
{
    static const auto fn = real<bool (*)(QObject*, QEvent*)>("_ZN7QObject5eventEP6QEvent");
    if (e->type() != QEvent::MetaCall)
        return fn(this, e);
    const QObject* pSender = metaCallSender(e);
    acquire(pSender ? static_cast<const void*>(pSender) : static_cast<const void*>(this));
    const void* pDone = doneKey(this);
    const bool bHandled = fn(this, e);   // may delete this (deleteLater); the key is only an address
    release(pDone);
    return bHandled;
}

bool QMetaObject::invokeMethod(QObject* obj, const char* member, Qt::ConnectionType type, QGenericReturnArgument ret,
                               QGenericArgument val0, QGenericArgument val1, QGenericArgument val2,
                               QGenericArgument val3, QGenericArgument val4, QGenericArgument val5,
                               QGenericArgument val6, QGenericArgument val7, QGenericArgument val8,
                               QGenericArgument val9)
{
    using Fn = bool (*)(QObject*, const char*, Qt::ConnectionType, QGenericReturnArgument, QGenericArgument,
                        QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument,
                        QGenericArgument, QGenericArgument, QGenericArgument, QGenericArgument);
    static const auto fn = real<Fn>(
        "_ZN11QMetaObject12invokeMethodEP7QObjectPKcN2Qt14ConnectionTypeE22QGenericReturnArgument16QGenericArgumentS7_"
        "S7_S7_S7_S7_S7_S7_S7_S7_");
    release(obj);
    const bool bOk = fn(obj, member, type, ret, val0, val1, val2, val3, val4, val5, val6, val7, val8, val9);
    if (type == Qt::BlockingQueuedConnection)
        acquire(doneKey(obj));
    return bOk;
}

bool QMetaObject::invokeMethodImpl(QObject* object, QtPrivate::QSlotObjectBase* slot, Qt::ConnectionType type,
                                   void* ret)
{
    using Fn = bool (*)(QObject*, QtPrivate::QSlotObjectBase*, Qt::ConnectionType, void*);
    static const auto fn = real<Fn>(
        "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv");
    release(object);
    const bool bOk = fn(object, slot, type, ret);
    if (type == Qt::BlockingQueuedConnection)
        acquire(doneKey(object));
    return bOk;
}
