// Prints a line the moment a name matching a pattern is made in a folder (created or moved
// in), then ends. For the power-cut machine, to tell the host that an operation's critical
// phase has begun; busybox here has no inotifyd, and polling would miss a phase of a few ms.
//
//   sentinella CARTELLA MODELLO RIGA
#include <fnmatch.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "uso: %s CARTELLA MODELLO RIGA\n", argv[0]);
        return 2;
    }
    const int fd = inotify_init();
    if (fd < 0 || inotify_add_watch(fd, argv[1], IN_CREATE | IN_MOVED_TO) < 0) {
        std::perror(argv[1]);
        return 2;
    }
    alignas(inotify_event) char buf[8192];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return 1;
        for (char* p = buf; p < buf + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->len > 0 && fnmatch(argv[2], e->name, 0) == 0) {
                std::printf("%s\n", argv[3]);
                return 0;
            }
            p += sizeof(inotify_event) + e->len;
        }
    }
}
