// The POSIX stand-in of reading and of the atomic write: O_EXCL creation, fsync, then rename,
// which replaces the target atomically.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "common/Text.h"
#include "common/TextFile.h"

namespace wrenpost {
namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

void SetError(std::wstring* error, const wchar_t* what, const std::filesystem::path& path) {
    if (error) {
        *error = what + path.wstring();
    }
}

void SetReadFailure(FileReadFailure* failure, int code, bool opening) {
    if (failure) {
        failure->absent = opening && (code == ENOENT || code == ENOTDIR);
        failure->reason = Utf8ToWide(std::generic_category().message(code));
    }
}

}  // namespace

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes,
                   FileReadFailure* failure) {
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        SetReadFailure(failure, errno, true);
        return false;
    }
    constexpr std::size_t kChunk = 1u << 16;
    std::string content;
    for (;;) {
        const std::size_t had = content.size();
        content.resize(had + kChunk);
        const ssize_t got = read(file.get(), content.data() + had, kChunk);
        if (got < 0) {
            const int code = errno;
            content.resize(had);
            if (code == EINTR) {
                continue;
            }
            // A folder opens here but cannot be read: "Is a directory".
            SetReadFailure(failure, code, false);
            return false;
        }
        content.resize(had + static_cast<std::size_t>(got));
        if (got == 0) {
            break;
        }
    }
    bytes = std::move(content);
    return true;
}

NewFileResult WriteNewFile(const std::filesystem::path& path, std::string_view bytes,
                           std::wstring* error) {
    const UniqueFd file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        if (errno == EEXIST) {
            return NewFileResult::NameTaken;
        }
        SetError(error, L"Could not create ", path);
        return NewFileResult::Failed;
    }
    while (!bytes.empty()) {
        const ssize_t written = write(file.get(), bytes.data(), bytes.size());
        if (written <= 0) {
            if (written < 0 && errno == EINTR) {
                continue;
            }
            SetError(error, L"Could not write ", path);
            return NewFileResult::Failed;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (fsync(file.get()) != 0) {
        SetError(error, L"Could not flush ", path);
        return NewFileResult::Failed;
    }
    return NewFileResult::Written;
}

bool ReplaceFileWith(const std::filesystem::path& source, const std::filesystem::path& target,
                     std::wstring* error) {
    if (std::rename(source.c_str(), target.c_str()) != 0) {
        SetError(error, L"Could not replace ", target);
        return false;
    }
    return true;
}

// link() fails on an existing name where rename() would replace it.
NewFileResult MoveFileIfAbsent(const std::filesystem::path& source,
                               const std::filesystem::path& target, std::wstring* error) {
    if (link(source.c_str(), target.c_str()) != 0) {
        if (errno == EEXIST) {
            return NewFileResult::NameTaken;
        }
        SetError(error, L"Could not create ", target);
        return NewFileResult::Failed;
    }
    std::error_code ignored;
    std::filesystem::remove(source, ignored);
    return NewFileResult::Written;
}

unsigned long CurrentProcessId() {
    return static_cast<unsigned long>(getpid());
}

}  // namespace wrenpost
