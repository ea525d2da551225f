#include "ftp/FtpTransfer.h"

#include <cerrno>
#include <unistd.h>

namespace kr90x {

int writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace kr90x
