/* The program as started: it holds quit signals while the host's many libraries load, so a
   quit at any moment reaches the host's handlers instead of killing it half-loaded. */
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
    (void)argc;
    /* Blocked signals stay blocked, and pending ones pending, across exec; the host unblocks
       them once its handlers are in place. */
    sigset_t quit;
    sigemptyset(&quit);
    sigaddset(&quit, SIGINT);
    sigaddset(&quit, SIGTERM);
    sigprocmask(SIG_BLOCK, &quit, NULL);
    static const char suffix[] = "-bin";
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - sizeof suffix);
    if (n > 0) {
        memcpy(path + n, suffix, sizeof suffix);
        execv(path, argv);
    }
    printf("ERROR Cannot start %s: %s\n", n > 0 ? path : "the host", strerror(errno));
    return 0;
}
