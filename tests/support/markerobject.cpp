// A shared object that proves it was loaded: its constructor creates the
// file named by VELNOR_MARKER. Served as a "certificate" by the hostile
// profile scenario.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void leaveMarker()
{
    const char* path = getenv("VELNOR_MARKER");
    if (path) {
        const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0)
            close(fd);
    }
}
