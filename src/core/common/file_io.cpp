#include "core/common/file_io.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarn {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view content) {
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void setError(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
}

// Creates path exclusively with `mode`. The kernel leaves out the group and other bits that the
// umask forbids; the owner bits are then set exactly as asked, so pwd.ini is 0600 whatever the
// umask. The process umask is never touched: another thread may be creating files meanwhile.
int createExclusive(const std::string& path, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || ::fchmod(fd, (mode & S_IRWXU) | (st.st_mode & mode & (S_IRWXG | S_IRWXO))) != 0) {
        const int saved = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = saved;
        return -1;
    }
    return fd;
}

// A new temporary file beside path; a name left over by an earlier process is skipped.
int createTemporaryBeside(const std::string& path, mode_t mode, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
        const int fd = createExclusive(temp, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

FileContent readWholeFile(const std::string& path, std::size_t maxBytes) {
    FileContent result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Unreadable;
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        result.status = ReadStatus::Unreadable;
        return result;
    }
    // Room for what the file says it holds, so that a large file is not copied as the text grows.
    if (S_ISREG(st.st_mode) && st.st_size > 0 && static_cast<std::size_t>(st.st_size) <= maxBytes)
        result.text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            result.text.clear();
            result.status = ReadStatus::Unreadable;
            return result;
        }
        if (n == 0) break;
        if (result.text.size() + static_cast<std::size_t>(n) > maxBytes) {
            ::close(fd);
            result.text.clear();
            result.status = ReadStatus::TooLarge;
            return result;
        }
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    result.status = ReadStatus::Ok;
    return result;
}

bool writeFileAtomically(const std::string& path, std::string_view content, mode_t mode, std::string* error,
                         Flush flush, WriteFault* fault) {
    return writeFileAtomically(
        path, [content](const PieceSink& sink) { sink(content); }, mode, error, flush, fault);
}

bool writeFileAtomically(const std::string& path, const std::function<void(const PieceSink& sink)>& write, mode_t mode,
                         std::string* error, Flush flush, WriteFault* fault) {
    if (fault) *fault = WriteFault::None;
    std::string temp;
    const int fd = createTemporaryBeside(path, mode, temp);
    if (fd < 0) {
        setError(error, "cannot create a temporary file beside " + path);
        if (fault) *fault = WriteFault::Open;
        return false;
    }
    bool ok = true;
    write([&](std::string_view piece) {
        if (ok && !(ok = writeAll(fd, piece))) setError(error, "cannot write " + temp);
        return ok;
    });
    if (ok && flush == Flush::Now && !(ok = ::fsync(fd) == 0)) setError(error, "cannot flush " + temp);
    if (::close(fd) != 0 && ok) {
        ok = false;
        setError(error, "cannot close " + temp);
    }
    if (!ok && fault) *fault = WriteFault::Write;
    if (ok && !(ok = ::rename(temp.c_str(), path.c_str()) == 0)) {
        setError(error, "cannot replace " + path);
        if (fault) *fault = WriteFault::Open;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    if (flush == Flush::Later) return true;
    // Make the rename itself durable.
    const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool flushFileSystem(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const bool ok = ::syncfs(dir) == 0;
    ::close(dir);
    return ok;
}

FileStamp fileStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
            static_cast<long long>(st.st_ino)};
}

bool makeOwnerOnlyFolders(const std::string& path) {
    if (path.empty()) return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT) return false;
    const std::string parent = folderOf(path);
    if (parent != path && !makeOwnerOnlyFolders(parent)) return false;
    // mkdir takes the umask's bits away, never adds them; chmod then sets exactly 0700.
    if (::mkdir(path.c_str(), S_IRWXU) != 0) return errno == EEXIST;
    return ::chmod(path.c_str(), S_IRWXU) == 0;
}

}  // namespace tarn
