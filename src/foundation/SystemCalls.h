// The system calls of the file writer (SafeFile.cpp), each behind a wrapper that a test can
// make fail: InjectFailure(n) makes the n-th wrapped call from then on fail with the given
// errno, so a test can fail every call of a write in turn and check what is left behind.
// Only SafeFile.cpp and the tests use this header.
#ifndef PHOTOGEO_FOUNDATION_SYSTEMCALLS_H
#define PHOTOGEO_FOUNDATION_SYSTEMCALLS_H

#include <cerrno>

namespace photogeo::foundation {

// Arms the n-th (1-based) wrapped call after this one to fail with error; 0 disarms. The count
// restarts at every call.
void InjectFailure(int n, int error = EIO);
// The wrapped calls made since the last InjectFailure, and whether the armed one was reached.
int CallsSinceInjection();
bool InjectedFailureHappened();

// Called by each wrapper before its system call: true (with errno set) when this call fails.
bool FailThisCall();

}  // namespace photogeo::foundation

#endif
