// kelvod is copied onto the last disk of every set and must start on the
// Linux systems of the last five years: it may ask the C library for no
// symbol version newer than GLIBC_2.31 (tools/check-glibc.sh checks the
// program). The C library it is built with gives a few functions newer
// versions than those systems have; the link (CMakeLists.txt: --wrap=NAME
// for each) sends every call of them, the C++ library's included, here, and
// these call the versions that the old libraries have and the new ones
// still export. What the old ones keep in libdl.so.2 and libpthread.so.0 is
// found there: the link names both.
#if defined(KELVOD_GLIBC_FLOOR)

#include <dlfcn.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>

#if defined(__x86_64__)
#define KV_GLIBC_FIRST "GLIBC_2.2.5"
#define KV_STAT_VERSION 1
#elif defined(__aarch64__)
#define KV_GLIBC_FIRST "GLIBC_2.17"
#define KV_STAT_VERSION 0
#else
#error "set the C library's first symbol version of this processor"
#endif

// A reference to NAME@VERSION under a local name.
#define KV_OLD(local, name, version) __asm__(".symver " #local "," #name "@" version)

extern "C" {

// Before 2.33 the stat functions were inline calls of these, which the
// library still exports.
int __xstat(int version, const char* path, struct stat* buf);
int __lxstat(int version, const char* path, struct stat* buf);
int __fxstat(int version, int fd, struct stat* buf);
int __fxstatat(int version, int dirfd, const char* path, struct stat* buf, int flags);

int __wrap_stat(const char* path, struct stat* buf) { return __xstat(KV_STAT_VERSION, path, buf); }
int __wrap_lstat(const char* path, struct stat* buf) {
  return __lxstat(KV_STAT_VERSION, path, buf);
}
int __wrap_fstat(int fd, struct stat* buf) { return __fxstat(KV_STAT_VERSION, fd, buf); }
int __wrap_fstatat(int dirfd, const char* path, struct stat* buf, int flags) {
  return __fxstatat(KV_STAT_VERSION, dirfd, path, buf, flags);
}

// Moved into libc.so.6 in 2.34 under new versions.
void* kv_dlopen(const char*, int);
void* kv_dlsym(void*, const char*);
char* kv_dlerror();
KV_OLD(kv_dlopen, dlopen, KV_GLIBC_FIRST);
KV_OLD(kv_dlsym, dlsym, KV_GLIBC_FIRST);
KV_OLD(kv_dlerror, dlerror, KV_GLIBC_FIRST);
void* __wrap_dlopen(const char* file, int mode) { return kv_dlopen(file, mode); }
void* __wrap_dlsym(void* handle, const char* name) { return kv_dlsym(handle, name); }
char* __wrap_dlerror() { return kv_dlerror(); }

int kv_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
int kv_pthread_join(pthread_t, void**);
int kv_pthread_once(pthread_once_t*, void (*)());
int kv_pthread_key_create(pthread_key_t*, void (*)(void*));
int kv_pthread_cond_clockwait(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*);
KV_OLD(kv_pthread_create, pthread_create, KV_GLIBC_FIRST);
KV_OLD(kv_pthread_join, pthread_join, KV_GLIBC_FIRST);
KV_OLD(kv_pthread_once, pthread_once, KV_GLIBC_FIRST);
KV_OLD(kv_pthread_key_create, __pthread_key_create, KV_GLIBC_FIRST);
KV_OLD(kv_pthread_cond_clockwait, pthread_cond_clockwait, "GLIBC_2.30");
int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*),
                          void* arg) {
  return kv_pthread_create(thread, attr, start, arg);
}
int __wrap_pthread_join(pthread_t thread, void** result) { return kv_pthread_join(thread, result); }
int __wrap_pthread_once(pthread_once_t* once, void (*init)()) {
  return kv_pthread_once(once, init);
}
// The C++ library also asks whether threads are linked in by the address of
// this one: they are.
int __wrap___pthread_key_create(pthread_key_t* key, void (*destructor)(void*)) {
  return kv_pthread_key_create(key, destructor);
}
int __wrap_pthread_cond_clockwait(pthread_cond_t* cond, pthread_mutex_t* mutex, clockid_t clock,
                                  const timespec* until) {
  return kv_pthread_cond_clockwait(cond, mutex, clock, until);
}

// New in 2.32; the C++ library skips atomic operations while it is set.
// Never set here: always atomic.
char __wrap___libc_single_threaded = 0;

// Since 2.34 the start-up code leaves the program's constructors to the
// library's new __libc_start_main; the old one runs them through the init
// function it is handed, as every program before 2.34 passed it.
using MainFunction = int (*)(int, char**, char**);
using InitFunction = void (*)(int, char**, char**);
int kv_libc_start_main(MainFunction, int, char**, InitFunction, void (*)(), void (*)(), void*);
KV_OLD(kv_libc_start_main, __libc_start_main, KV_GLIBC_FIRST);
void _init();
extern InitFunction __init_array_start[];
extern InitFunction __init_array_end[];

static void RunConstructors(int argc, char** argv, char** env) {
  _init();
  for (InitFunction* f = __init_array_start; f != __init_array_end; ++f) (*f)(argc, argv, env);
}

int __wrap___libc_start_main(MainFunction main, int argc, char** argv, InitFunction, void (*fini)(),
                             void (*rtldFini)(), void* stackEnd) {
  return kv_libc_start_main(main, argc, argv, &RunConstructors, fini, rtldFini, stackEnd);
}

}  // extern "C"

#endif  // KELVOD_GLIBC_FLOOR
