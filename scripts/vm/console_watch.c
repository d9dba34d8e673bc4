/* console_watch PATH: prints a line for every open of PATH until killed.
 * Runs in the test guest, where nothing may open the console's tty. Built
 * static by the CI stage: the guest has no C library of its own to spare. */
#include <stdio.h>
#include <sys/inotify.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fputs("usage: console_watch PATH\n", stderr);
        return 2;
    }
    int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, argv[1], IN_OPEN) < 0) {
        perror(argv[1]);
        return 1;
    }
    printf("watching %s\n", argv[1]);
    fflush(stdout);
    char buffer[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return 1;
        for (char *p = buffer; p < buffer + n;) {
            const struct inotify_event *e = (const struct inotify_event *)p;
            if (e->mask & IN_OPEN)
                printf("opened %s\n", argv[1]);
            p += sizeof *e + e->len;
        }
        fflush(stdout);
    }
}
